// Posting a code to the bridge's mailbox 0x9400 the way a careful client does: only once the
// code before it was taken.
#pragma once

#include <cstdint>

#include "simlink/link_result.h"

// How long a post waits for the code before it to be taken, and how often it looks meanwhile.
// A running bridge takes a code within one 10 ms cycle.
constexpr std::uint32_t kPostWaitMs = 2000;
constexpr std::uint32_t kPostPollMs = 50;

enum class PostOutcome {
    Posted,
    NotTaken,    // the mailbox still held `found` after kPostWaitMs: nothing was posted
    LinkFailed,  // an exchange failed with `result`
};

struct MailboxPost {
    PostOutcome outcome;
    std::int16_t found;  // what the mailbox held when the post gave up
    LinkResult result;
};

// Over an open link: waits until the mailbox holds no code, then writes `code`. No code is -1,
// the empty mailbox, or any other negative value, which the bridge leaves alone as no command;
// 0..32767 is a code the bridge has not taken yet. With `force`, writes at once.
MailboxPost PostToMailbox(std::int16_t code, bool force);
