// The exchange: one message per queue, delivery retried nine times, and a reply walk that
// trusts nothing the module left in the buffer.
#include <algorithm>

#include "tests/unit/link_test_support.h"

namespace {

using link_test::OpenLinkTest;
using link_test::QueuedBytes;
using link_test::SetWordAt;
using link_test::WordAt;

constexpr std::uint32_t kUntouched = 0xCCCCCCCC;

// What the handshake left on the counters and the clock, so each test sees only its own calls.
struct Baseline {
    unsigned sends = fake::CallCount(fake::Call::SendMessageTimeoutA);
    unsigned sleeps = fake::CallCount(fake::Call::Sleep);
    unsigned exchanges = fake::ExchangesHandled();
    std::uint64_t now = fake::Now();

    unsigned Sends() const { return fake::CallCount(fake::Call::SendMessageTimeoutA) - sends; }
    unsigned Sleeps() const { return fake::CallCount(fake::Call::Sleep) - sleeps; }
    unsigned Exchanges() const { return fake::ExchangesHandled() - exchanges; }
    std::uint64_t Elapsed() const { return fake::Now() - now; }
};

TEST_F(OpenLinkTest, ExchangeNeedsAQueuedRecordAndSendsOneMessageForAll) {
    const Baseline before;
    LinkResult result = -1;
    EXPECT_FALSE(LinkProcess(result));
    EXPECT_EQ(result, LINK_NOTHING_QUEUED);
    EXPECT_EQ(before.Sends(), 0u);

    std::uint32_t version = 0;
    std::uint32_t marker = 0;
    const std::uint8_t byte = 0x42;
    ASSERT_TRUE(LinkRead(0x3304, 4, &version, result));
    ASSERT_TRUE(LinkWrite(0x9402, 1, &byte, result));
    ASSERT_TRUE(LinkRead(0x3308, 4, &marker, result));
    ASSERT_TRUE(LinkProcess(result));
    EXPECT_EQ(result, LINK_OK);
    EXPECT_EQ(before.Sends(), 1u);
    EXPECT_EQ(before.Sleeps(), 0u);
    EXPECT_EQ(version, exchange::kDefaultModuleVersion);
    EXPECT_EQ(marker, exchange::kDefaultSimulatorWord);
    EXPECT_EQ(fake::ModuleSpace().bytes[0x9402], 0x42);

    const fake::SendArguments& sent = fake::LastSend();
    EXPECT_EQ(sent.window, g_link.moduleWindow);
    EXPECT_EQ(sent.message, fake::RegisteredMessage("FsasmLib:IPC"));
    EXPECT_EQ(sent.wParam, static_cast<WPARAM>(g_link.bufferAtom));
    EXPECT_EQ(sent.lParam, 0);
    EXPECT_EQ(sent.flags, SMTO_BLOCK);
    EXPECT_EQ(sent.timeoutMs, 2000u);
}

// Nine sends, each failed one followed by a 100 ms pause; then the last error tells 11 from
// 12. Delivery on the ninth send is still a success.
TEST_F(OpenLinkTest, OnlyDeliveryIsRetriedAndNeverATenthTime) {
    constexpr std::uint64_t kWaited = 2000 + 100;
    constexpr std::uint64_t kRefused = 100;
    struct Case {
        unsigned failures;
        bool timesOut;  // waits out its 2000 ms, or is refused at once
        DWORD lastError;
        LinkResult expected;
        std::uint64_t elapsed;
    };
    const Case cases[] = {
        {10, true, 0, LINK_TIMEOUT, 9 * kWaited},
        {10, true, ERROR_TIMEOUT, LINK_TIMEOUT, 9 * kWaited},  // Windows 10 and 11
        {10, false, ERROR_ACCESS_DENIED, LINK_SEND_FAILED, 9 * kRefused},
        {10, false, 0, LINK_TIMEOUT, 9 * kRefused},
        {8, true, 0, LINK_OK, 8 * kWaited},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.failures << " failures, last error " << c.lastError);
        if (c.timesOut) {
            fake::TimeOutNextSends(c.failures, c.lastError);
        } else {
            fake::FailNext(fake::Call::SendMessageTimeoutA, c.failures, c.lastError);
        }
        std::uint32_t into = kUntouched;
        LinkResult result = -1;
        ASSERT_TRUE(LinkRead(0x3304, 4, &into, result));
        const Baseline before;
        EXPECT_EQ(LinkProcess(result), c.expected == LINK_OK);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(before.Sends(), 9u);
        EXPECT_EQ(before.Sleeps(), std::min(c.failures, 9u));
        EXPECT_EQ(before.Elapsed(), c.elapsed);
        EXPECT_EQ(into, c.expected == LINK_OK ? exchange::kDefaultModuleVersion : kUntouched);
        EXPECT_EQ(QueuedBytes(), 0u);
        fake::TimeOutNextSends(0);
        fake::FailNext(fake::Call::SendMessageTimeoutA, 0);
    }
}

// A module that handled the message but answered other than 1 is not asked again, and nothing
// it may have written reaches a destination.
TEST_F(OpenLinkTest, AnswerOtherThanOneIsABadReplyThatWritesNoDestination) {
    for (DWORD_PTR answer : {DWORD_PTR{0}, DWORD_PTR{2}, ~DWORD_PTR{1}}) {
        SCOPED_TRACE(testing::Message() << "answer " << answer);
        fake::SetModuleAnswer(answer);
        std::uint32_t into = kUntouched;
        LinkResult result = -1;
        ASSERT_TRUE(LinkRead(0x3304, 4, &into, result));
        const Baseline before;
        EXPECT_FALSE(LinkProcess(result));
        EXPECT_EQ(result, LINK_BAD_REPLY);
        EXPECT_EQ(before.Sends(), 1u);
        EXPECT_EQ(before.Exchanges(), 1u);
        EXPECT_EQ(before.Sleeps(), 0u);
        EXPECT_EQ(into, kUntouched);
        EXPECT_EQ(g_link.recordsWalked, 0u);

        // The queue starts again at byte 0.
        ASSERT_TRUE(LinkRead(0x3308, 4, &into, result));
        EXPECT_EQ(QueuedBytes(), 20u);
        EXPECT_EQ(WordAt(g_link.bufferStart, 4), 0x3308u);
        fake::SetModuleAnswer(1);
        ASSERT_TRUE(LinkProcess(result));
        EXPECT_EQ(into, exchange::kDefaultSimulatorWord);
    }
}

// Three reads of four bytes at 0, 20 and 40, the terminator at 60; each case corrupts the
// reply and says how many reads still reach their destinations.
TEST_F(OpenLinkTest, ReplyWalkStopsAtTheFirstRecordThatIsNotAsQueued) {
    struct Case {
        const char* what;
        std::size_t pos;      // byte of the reply to change
        std::uint32_t value;  // what the module leaves there
        int distributed;      // reads that reach their destinations
        bool idCleared;       // the walk overwrites the record's id with 0
    };
    const Case cases[] = {
        {"untouched reply", 60, 0, 3, false},
        {"unknown id", 20, 7, 1, true},
        {"read turned write", 20, kWriteRecordId, 1, true},
        {"zero id", 20, 0, 1, false},
        {"smaller size", 28, 2, 1, true},
        {"huge size", 28, 0xFFFFFFF0, 1, true},
        {"destination of another read", 32, 1, 1, true},
        {"destination cleared", 32, 0, 1, true},
        {"first record unknown", 0, 9, 0, true},
        {"terminator made a read", 60, kReadRecordId, 3, true},
        {"terminator made a write", 60, kWriteRecordId, 3, true},
        {"terminator garbage", 60, 0xFFFFFFFF, 3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (std::uint32_t k = 0; k < 3; ++k) link_test::SetModuleWord(0x100 + 4 * k, 0x1000 + k);
        std::uint32_t into[3] = {kUntouched, kUntouched, kUntouched};
        LinkResult result = -1;
        for (std::uint32_t k = 0; k < 3; ++k)
            ASSERT_TRUE(LinkRead(0x100 + 4 * k, 4, &into[k], result));
        fake::SetAfterExchangeHook(
            [&c](std::span<std::uint8_t> buffer) { SetWordAt(buffer.data(), c.pos, c.value); });
        EXPECT_TRUE(LinkProcess(result));
        EXPECT_EQ(result, LINK_OK);
        fake::SetAfterExchangeHook(nullptr);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(into[k], k < c.distributed ? 0x1000u + k : kUntouched) << "read " << k;
        }
        EXPECT_EQ(g_link.recordsWalked, static_cast<std::uint32_t>(c.distributed));
        const std::size_t idPos = c.pos - c.pos % 20;
        EXPECT_EQ(WordAt(g_link.bufferStart, idPos) == 0, c.idCleared || c.value == 0);
    }
}

// A walk that ends at a changed write record hands nothing on after it.
TEST_F(OpenLinkTest, ReplyWalkChecksWriteRecordsToo) {
    const std::uint16_t word = 0x0102;
    std::uint32_t into = kUntouched;
    LinkResult result = -1;
    ASSERT_TRUE(LinkWrite(0x200, 2, &word, result));
    ASSERT_TRUE(LinkRead(0x3304, 4, &into, result));
    fake::SetAfterExchangeHook(
        [](std::span<std::uint8_t> buffer) { SetWordAt(buffer.data(), 8, 6); });
    EXPECT_TRUE(LinkProcess(result));
    fake::SetAfterExchangeHook(nullptr);
    EXPECT_EQ(result, LINK_OK);
    EXPECT_EQ(into, kUntouched);
    EXPECT_EQ(g_link.recordsWalked, 0u);
    EXPECT_EQ(WordAt(g_link.bufferStart, 0), 0u);
}

}  // namespace
