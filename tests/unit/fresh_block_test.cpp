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

struct ConnectCase {
    const char* name;
    std::int16_t mailbox;  // as the module holds it when the bridge connects
    bool blockUsed;        // another byte of the block was written by an earlier run
    bool commandDue;       // the first cycle forwards the mailbox's code
    MailboxAtConnect found;
    const char* note;  // what the log says of it, empty for nothing
};

constexpr ConnectCase kConnectCases[] = {
    {"fresh module", 0, false, false, MailboxAtConnect::NeverWritten,
     "the module's block was never written; its mailbox was marked empty"},
    {"code 777 waited", 777, true, true, MailboxAtConnect::CodeWaiting,
     "code 777, posted while the bridge was not running, was forwarded"},
    {"code 0 waited in a used block", 0, true, true, MailboxAtConnect::CodeWaiting,
     "code 0, posted while the bridge was not running, was forwarded"},
    {"code 777 alone in the block", 777, false, true, MailboxAtConnect::CodeWaiting,
     "code 777, posted while the bridge was not running, was forwarded"},
    {"emptied mailbox", -1, true, false, MailboxAtConnect::Empty, ""},
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
        const unsigned exchangesBefore = fake::ExchangesHandled();
        cycle_world::ClearCommand();

        ASSERT_EQ(RunCycle(), LINK_OK);

        EXPECT_EQ(g_bridge.mailboxAtConnect, c.found);
        EXPECT_EQ(cycle_world::CommandCode(), c.commandDue ? c.mailbox : -7);
        EXPECT_EQ(cycle_world::ModuleMailbox(), -1);
        // The fresh module's mark rides on the cycle's one exchange, among its writes and before
        // the read that brings it back; a served code is emptied by an exchange of its own.
        EXPECT_EQ(fake::ExchangesHandled(), exchangesBefore + (c.commandDue ? 2 : 1));
        const auto first = fake::ExchangeRecords(exchangesBefore + 1);
        EXPECT_EQ(WritesMailbox(first), c.found == MailboxAtConnect::NeverWritten);
        if (c.found == MailboxAtConnect::NeverWritten) {
            ASSERT_GE(first.size(), 11u);  // display 1, the mark, then the nine reads
            const fake::LoggedRecord& mark = first[first.size() - 10];
            EXPECT_EQ(mark.offset, kMailbox);
            EXPECT_EQ(mark.data[0], 0xFF);
            EXPECT_EQ(mark.data[1], 0xFF);
            EXPECT_EQ(first[0].offset, 0x9430u);
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
