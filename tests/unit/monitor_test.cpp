// The monitor's portable half: what its command line refuses and why, its view of the block at
// a console's width, the link's failures in its words, and a post that overwrites no code.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "panel/panel.h"
#include "tests/unit/link_test_support.h"
#include "tools/monitor/block_view.h"
#include "tools/monitor/link_failure_words.h"
#include "tools/monitor/mailbox_post.h"
#include "tools/monitor/monitor_options.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream stream(text);
    for (std::string word; stream >> word;) words.push_back(word);
    return words;
}

// A refusal names what the option takes; --force goes only with --post; --help is not a
// mistake.
TEST(MonitorOptionsTest, RefusalsSayWhatTheOptionTakes) {
    const struct {
        std::vector<const char*> arguments;
        MonitorCommandLine kind;
        const char* said;
    } cases[] = {
        {{"--turn", "9", "1"},
         MonitorCommandLine::NotValid,
         "monitor: --turn 9 1: K is an encoder 0..7"},
        {{"--turn", "3"}, MonitorCommandLine::NotValid, "monitor: --turn 3: K is an encoder 0..7"},
        {{"--post", "40000"},
         MonitorCommandLine::NotValid,
         "--post 40000: CODE is a command code 0..32767"},
        {{"--watch", "0"},
         MonitorCommandLine::NotValid,
         "--watch 0: MS is a number of milliseconds"},
        {{"--once", "--bogus"}, MonitorCommandLine::NotValid, "monitor: --bogus: no such option."},
        {{"--force"}, MonitorCommandLine::NotValid, "--force goes with --post"},
        {{"--help"}, MonitorCommandLine::Help, "  4  --post posted nothing"},
        {{"--post", "1000", "--force"}, MonitorCommandLine::Run, ""},
    };
    for (const auto& c : cases) {
        std::vector<char*> argv = {const_cast<char*>("monitor")};
        for (const char* argument : c.arguments) argv.push_back(const_cast<char*>(argument));
        MonitorOptions options;
        std::string said;
        SCOPED_TRACE(c.said);
        EXPECT_EQ(ParseMonitorOptions(static_cast<int>(argv.size()), argv.data(), options, said),
                  c.kind);
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        if (c.kind == MonitorCommandLine::Run) {
            EXPECT_TRUE(options.post && options.force);
        }
    }
}

// No line as wide as the console (its cursor would wrap and the newline add a blank line), and
// nothing left out from 80 columns up: the same fields as in a file, only more lines.
TEST(BlockViewTest, EveryLineFitsItsConsoleAndNoFieldIsLostFrom80Columns) {
    BridgeBlock before{};
    BridgeBlock block{};
    for (std::size_t i = 0; i < kBridgeBlockSize; ++i) block[i] = static_cast<std::uint8_t>(i * 7);
    std::memset(block + 0x30, 0xFF, 4);  // displays 1 and 2 blank
    const std::string file = BridgeBlockFrame(block, &before, kAnyColumns);
    EXPECT_EQ(Lines(file).size(), 27u);
    EXPECT_EQ(BridgeBlockFrame(block, &before, 113), file);

    for (std::size_t columns = 1; columns <= 140; ++columns) {
        SCOPED_TRACE(columns);
        const std::string frame = BridgeBlockFrame(block, &before, columns);
        for (const std::string& line : Lines(frame)) {
            EXPECT_LT(line.size(), std::max<std::size_t>(columns, 2)) << line;
        }
        if (columns >= 80) {
            EXPECT_EQ(Words(frame), Words(file)) << frame;
        }
    }
}

// The panel's sentence, with what to do in the monitor's terms and the code in brackets.
TEST(LinkFailureWordsTest, PanelSentencesSayWhatAMonitorUserCanDo) {
    const struct {
        LinkResult code;
        DWORD lastSendError;
        const char* words;
    } cases[] = {
        {LINK_NO_SIMULATOR, 0,
         "No simulator module was found: start the simulator with its IPC module first, then run "
         "monitor again. (2)"},
        {LINK_NO_MESSAGE, 0,
         "Windows could not register the module's message: restart Windows if running monitor "
         "again does not help. (3)"},
        {LINK_QUEUE_FULL, 0, "The shared request buffer overflowed: run monitor again. (15)"},
        {LINK_TIMEOUT, 0,
         "The module did not answer within 2 seconds, nine times: check that the simulator is not "
         "frozen, then run monitor again. (11)"},
        {LINK_SEND_FAILED, ERROR_ACCESS_DENIED,
         "Access denied: the simulator runs as administrator and monitor does not. Start both the "
         "same way. (12)"},
    };
    for (const auto& c : cases) EXPECT_EQ(LinkFailureWords(c.code, c.lastSendError), c.words);
    for (LinkResult code = LINK_ALREADY_OPEN; code <= LINK_READ_LEFT_OUT + 1; ++code) {
        const std::string words = LinkFailureWords(code, 0);
        EXPECT_EQ(words.find("File >"), std::string::npos) << words;
        EXPECT_EQ(words.find("Quorvane"), std::string::npos) << words;
    }
}

class MailboxPostTest : public link_test::OpenLinkTest {
  protected:
    void SetMailbox(std::uint16_t value) {
        std::memcpy(fake::ModuleSpace().bytes + kMailboxOffset, &value, sizeof value);
    }
    std::int16_t Mailbox() {
        std::int16_t value = 0;
        std::memcpy(&value, fake::ModuleSpace().bytes + kMailboxOffset, sizeof value);
        return value;
    }
};

// A code not taken is never overwritten without --force; one taken during the wait is, and a
// negative value, which the bridge ignores, is no code to wait for.
TEST_F(MailboxPostTest, PostsOnlyOverAnEmptyMailboxWaitingUpTo2Seconds) {
    const struct {
        std::uint16_t before;
        unsigned
            takenAfter;  // exchanges of the post until the bridge empties the mailbox; 0: never
        bool force;
        PostOutcome outcome;
        std::int16_t after;
        bool waits2s;
    } cases[] = {
        {0xFFFF, 0, false, PostOutcome::Posted, 1000, false},
        {100, 0, false, PostOutcome::NotTaken, 100, true},
        {0, 0, false, PostOutcome::NotTaken, 0, true},  // a fresh module's block
        {100, 5, false, PostOutcome::Posted, 1000, false},
        {0xFFFB, 0, false, PostOutcome::Posted, 1000, false},
        {100, 0, true, PostOutcome::Posted, 1000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before);
        SetMailbox(c.before);
        const unsigned start = fake::ExchangesHandled();
        fake::SetAfterExchangeHook([&](std::span<std::uint8_t>) {
            if (c.takenAfter != 0 && fake::ExchangesHandled() - start == c.takenAfter) {
                SetMailbox(0xFFFF);
            }
        });
        const std::uint64_t began = fake::Now();
        const MailboxPost post = PostToMailbox(1000, c.force);
        fake::SetAfterExchangeHook({});
        EXPECT_EQ(post.outcome, c.outcome);
        EXPECT_EQ(Mailbox(), c.after);
        EXPECT_EQ(fake::Now() - began >= kPostWaitMs, c.waits2s) << fake::Now() - began;
        if (c.outcome == PostOutcome::NotTaken) {
            EXPECT_EQ(post.found, c.after);
        }
    }
    SetMailbox(0xFFFF);
    fake::FailNext(fake::Call::SendMessageTimeoutA, 9);
    const MailboxPost failed = PostToMailbox(1000, false);
    EXPECT_EQ(failed.outcome, PostOutcome::LinkFailed);
    EXPECT_NE(failed.result, LINK_OK);
    EXPECT_EQ(Mailbox(), -1);
}

}  // namespace
