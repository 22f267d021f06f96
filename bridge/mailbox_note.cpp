#include "bridge/mailbox_note.h"

#include <cstdio>

bool MailboxAtConnectNote(MailboxAtConnect found, std::int16_t code, char* out, std::size_t size) {
    if (size == 0) return false;
    out[0] = '\0';
    switch (found) {
        case MailboxAtConnect::NeverWritten:
            std::snprintf(out, size,
                          "the module's block was never written; its mailbox was marked empty");
            return true;
        case MailboxAtConnect::CodeWaiting:
            std::snprintf(out, size,
                          "code %d, posted while the bridge was not running, was forwarded", code);
            return true;
        case MailboxAtConnect::Empty:
            break;
    }
    return false;
}
