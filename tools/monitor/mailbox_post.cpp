#include "tools/monitor/mailbox_post.h"

#include "bridge/encoder_table.h"
#include "platform/win32.h"
#include "simlink/simlink.h"

MailboxPost PostToMailbox(std::int16_t code, bool force) {
    MailboxPost post{PostOutcome::Posted, kMailboxEmpty, LINK_OK};
    for (std::uint32_t waited = 0; !force; waited += kPostPollMs) {
        if (!(LinkRead(kMailboxOffset, sizeof post.found, &post.found, post.result) &&
              LinkProcess(post.result))) {
            post.outcome = PostOutcome::LinkFailed;
            return post;
        }
        if (post.found < 0) break;
        if (waited >= kPostWaitMs) {
            post.outcome = PostOutcome::NotTaken;
            return post;
        }
        Sleep(kPostPollMs);
    }
    if (!(LinkWrite(kMailboxOffset, sizeof code, &code, post.result) && LinkProcess(post.result))) {
        post.outcome = PostOutcome::LinkFailed;
    }
    return post;
}
