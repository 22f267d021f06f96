// The log's words for what connecting found in the module's mailbox, kept apart from the window
// so that a native test reads them as the log will.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bridge/bridge.h"

// Writes the sentence for `found` (with the code that waited) into `out`, without a final stop,
// and returns true; returns false with `out` empty when there is nothing to say. Cut short to
// `size`, as snprintf cuts.
bool MailboxAtConnectNote(MailboxAtConnect found, std::int16_t code, char* out, std::size_t size);
