// What connecting makes of the module's mailbox: a fresh module's 0 is no command, a code that
// waited in a used block goes out once, and a 0 posted while the bridge runs is a command.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "bridge/bridge.h"
#include "bridge/mailbox_note.h"
#include "tests/fresh_world/fresh_world.h"
#include "tests/unit/cycle_world.h"

namespace {

using cycle_world::kMailbox;

constexpr std::int16_t kNothing = -1;  // no client posts between connecting and the first cycle

struct ConnectCase {
    const char* name;
    std::int16_t mailbox;  // as the module holds it when the bridge connects
    bool blockUsed;        // another byte of the block was written by an earlier run
    std::int16_t posted;   // posted after connecting, while the window says LOADING
    std::int16_t command;  // what the first cycle forwards, -7 for nothing
    MailboxAtConnect found;
    const char* note;  // what the log says of it, empty for nothing
};

constexpr ConnectCase kConnectCases[] = {
    {"fresh module", 0, false, kNothing, -7, MailboxAtConnect::NeverWritten,
     "the module's block was never written; its mailbox was marked empty"},
    {"fresh module, code 777 posted while loading", 0, false, 777, 777,
     MailboxAtConnect::NeverWritten,
     "the module's block was never written; its mailbox was marked empty"},
    {"code 777 waited", 777, true, kNothing, 777, MailboxAtConnect::CodeWaiting,
     "code 777, posted while the bridge was not running, was forwarded"},
    {"code 0 waited in a used block", 0, true, kNothing, 0, MailboxAtConnect::CodeWaiting,
     "code 0, posted while the bridge was not running, was forwarded"},
    {"code 777 alone in the block", 777, false, kNothing, 777, MailboxAtConnect::CodeWaiting,
     "code 777, posted while the bridge was not running, was forwarded"},
    {"emptied mailbox", -1, true, kNothing, -7, MailboxAtConnect::Empty, ""},
};

bool WritesMailbox(std::span<const fake::LoggedRecord> records) {
    for (const fake::LoggedRecord& record : records) {
        if (record.kind == exchange::RecordKind::Write && record.offset == kMailbox) return true;
    }
    return false;
}

TEST(FreshBlockTest, ConnectingTellsACodeThatWaitedFromAFreshModulesZero) {
    for (const ConnectCase& c : kConnectCases) {
        SCOPED_TRACE(c.name);
        fresh_world::Reset();
        fake::CreateBlockAsOtherProcess(cycle_world::kStateBlock, kStateViewSize);
        fake::CreateBlockAsOtherProcess(cycle_world::kCommandBlock, kCommandViewSize);
        fake::StartModule();
        cycle_world::PostCode(c.mailbox);
        if (c.blockUsed) fake::ModuleSpace().bytes[0x9430] = 7;  // display 1, from a run before
        cycle_world::SetStateInt32(0x09C, 7);                    // the add-on shows it too
        ASSERT_EQ(ConnectBothSides(), LINK_OK);
        if (c.posted != kNothing) cycle_world::PostCode(c.posted);
        const unsigned exchangesBefore = fake::ExchangesHandled();
        cycle_world::ClearCommand();

        ASSERT_EQ(RunCycle(), LINK_OK);

        EXPECT_EQ(g_bridge.mailboxAtConnect, c.found);
        EXPECT_EQ(cycle_world::CommandCode(), c.command);
        EXPECT_EQ(cycle_world::ModuleMailbox(), -1);
        // The fresh module's mark ends the cycle's one exchange, after the writes and the read of
        // the mailbox; a served code is emptied by an exchange of its own.
        EXPECT_EQ(fake::ExchangesHandled(), exchangesBefore + (c.command != -7 ? 2 : 1));
        const auto first = fake::ExchangeRecords(exchangesBefore + 1);
        EXPECT_EQ(WritesMailbox(first), c.found == MailboxAtConnect::NeverWritten);
        if (c.found == MailboxAtConnect::NeverWritten) {
            ASSERT_EQ(first.size(), 11u);  // display 1, the nine reads, then the mark
            EXPECT_EQ(first[0].offset, 0x9430u);
            EXPECT_EQ(first[1].offset, kMailbox);
            EXPECT_EQ(first[1].kind, exchange::RecordKind::Read);
            EXPECT_EQ(first[10].kind, exchange::RecordKind::Write);
            EXPECT_EQ(first[10].offset, kMailbox);
            EXPECT_EQ(first[10].data[0], 0xFF);
            EXPECT_EQ(first[10].data[1], 0xFF);
        }
        char note[96];
        EXPECT_EQ(MailboxAtConnectNote(g_bridge.mailboxAtConnect, g_bridge.codeAtConnect, note,
                                       sizeof note),
                  c.note[0] != '\0');
        EXPECT_EQ(std::string(note), c.note);

        // From here on a 0 is what a client posted, and a command like any other; the mark is
        // not written again.
        cycle_world::ClearCommand();
        cycle_world::PostCode(0);
        const unsigned before = fake::ExchangesHandled();
        ASSERT_EQ(RunCycle(), LINK_OK);
        EXPECT_EQ(cycle_world::CommandCode(), 0);
        EXPECT_FALSE(WritesMailbox(fake::ExchangeRecords(before + 1)));
    }
}

}  // namespace
