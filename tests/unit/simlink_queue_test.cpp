// Queuing reads and writes: where records go, what they hold, and when they no longer fit.
#include <array>
#include <vector>

#include "tests/unit/link_test_support.h"

namespace {

using link_test::LinkTest;
using link_test::OpenLinkTest;
using link_test::QueuedBytes;
using link_test::WordAt;

TEST_F(LinkTest, ClosedLinkRefusesEveryRequestAndSendsNothing) {
    auto expectRefused = [] {
        std::uint32_t value = 7;
        LinkResult result = -1;
        EXPECT_FALSE(LinkRead(0x3304, 4, &value, result));
        EXPECT_EQ(result, LINK_NOT_OPEN);
        result = -1;
        EXPECT_FALSE(LinkWrite(0x3304, 4, &value, result));
        EXPECT_EQ(result, LINK_NOT_OPEN);
        result = -1;
        EXPECT_FALSE(LinkProcess(result));
        EXPECT_EQ(result, LINK_NOT_OPEN);
        EXPECT_EQ(value, 7u);
    };
    fake::StartModule();
    expectRefused();  // never opened
    EXPECT_EQ(fake::CallCount(fake::Call::SendMessageTimeoutA), 0u);

    LinkResult result = -1;
    ASSERT_TRUE(LinkOpen(0, result));
    const unsigned sendsWhileOpen = fake::CallCount(fake::Call::SendMessageTimeoutA);
    std::uint32_t value = 1;
    ASSERT_TRUE(LinkWrite(0x100, 4, &value, result));
    LinkClose();  // with a record queued
    expectRefused();
    EXPECT_EQ(fake::CallCount(fake::Call::SendMessageTimeoutA), sendsWhileOpen);
}

// A 2-byte write leaves the next record at byte 14, so every field of the read is unaligned.
TEST_F(OpenLinkTest, RecordsFollowEachOtherUnalignedAndCarryTheirFields) {
    std::uint8_t* const buffer = g_link.bufferStart;
    std::memset(buffer, 0xAA, 64);  // left over from earlier exchanges
    const std::uint16_t word = 0xBEEF;
    std::uint32_t readInto = 0;
    LinkResult result = -1;

    ASSERT_TRUE(LinkWrite(0x1234, 2, &word, result));
    EXPECT_EQ(result, LINK_OK);
    ASSERT_TRUE(LinkRead(0x5678, 4, &readInto, result));
    ASSERT_TRUE(LinkRead(0x9ABC, 0, &readInto, result));
    ASSERT_TRUE(LinkRead(0x9ABD, 3, nullptr, result));

    EXPECT_EQ(WordAt(buffer, 0), kWriteRecordId);
    EXPECT_EQ(WordAt(buffer, 4), 0x1234u);
    EXPECT_EQ(WordAt(buffer, 8), 2u);
    EXPECT_EQ(buffer[12], 0xEF);
    EXPECT_EQ(buffer[13], 0xBE);

    EXPECT_EQ(WordAt(buffer, 14), kReadRecordId);
    EXPECT_EQ(WordAt(buffer, 18), 0x5678u);
    EXPECT_EQ(WordAt(buffer, 22), 4u);
    EXPECT_EQ(WordAt(buffer, 26), 2u);  // second queued record: index 1, plus one
    EXPECT_EQ(WordAt(buffer, 30), 0u);  // data area cleared

    EXPECT_EQ(WordAt(buffer, 34), kReadRecordId);
    EXPECT_EQ(WordAt(buffer, 42), 0u);  // size 0: a bare 16-byte record
    EXPECT_EQ(WordAt(buffer, 46), 3u);

    EXPECT_EQ(WordAt(buffer, 50), kReadRecordId);
    EXPECT_EQ(WordAt(buffer, 62), 0u);  // no destination
    EXPECT_EQ(QueuedBytes(), 50u + 16 + 3);

    link_test::SetModuleWord(0x5678, 0x11223344);
    ASSERT_TRUE(LinkProcess(result));
    EXPECT_EQ(result, LINK_OK);
    EXPECT_EQ(readInto, 0x11223344u);
    EXPECT_EQ(WordAt(buffer, 69), kTerminatorId);
    EXPECT_EQ(fake::ModuleSpace().bytes[0x1234], 0xEF);
    EXPECT_EQ(fake::ModuleSpace().bytes[0x1235], 0xBE);
    EXPECT_EQ(QueuedBytes(), 0u);
    EXPECT_EQ(fake::LastExchangeRecords().size(), 4u);
}

// The records and the terminator may fill the first 32,512 bytes exactly, never one more.
TEST_F(OpenLinkTest, QueueFillsExactlyTheRequestArea) {
    struct Case {
        bool isRead;
        std::size_t alreadyQueued;  // bytes of a 2-byte write queued first, or 0
        std::uint32_t largest;
    };
    const Case cases[] = {
        {true, 0, 32492},
        {false, 0, 32496},
        {true, 14, 32478},
        {false, 14, 32482},
    };
    std::vector<std::uint8_t> data(kRequestAreaSize, 0x5A);
    const std::uint16_t word = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "read " << c.isRead << " after " << c.alreadyQueued);
        LinkResult result = -1;
        if (c.alreadyQueued != 0) {
            ASSERT_TRUE(LinkWrite(0x10, 2, &word, result));
        }
        auto queue = [&](std::uint32_t size) {
            return c.isRead ? LinkRead(0, size, data.data(), result)
                            : LinkWrite(0, size, data.data(), result);
        };
        EXPECT_FALSE(queue(c.largest + 1));
        EXPECT_EQ(result, LINK_QUEUE_FULL);
        EXPECT_EQ(QueuedBytes(), c.alreadyQueued);
        EXPECT_FALSE(queue(0xFFFFFFFF));  // no wrap of the size sum
        EXPECT_EQ(result, LINK_QUEUE_FULL);

        ASSERT_TRUE(queue(c.largest));
        EXPECT_EQ(QueuedBytes() + kTerminatorSize, kRequestAreaSize);
        EXPECT_FALSE(LinkWrite(0, 0, nullptr, result));  // not even an empty record fits now
        EXPECT_EQ(result, LINK_QUEUE_FULL);
        EXPECT_EQ(QueuedBytes() + kTerminatorSize, kRequestAreaSize);

        // The spare end of the buffer is never written, not even by the exchange.
        std::memset(g_link.bufferStart + kRequestAreaSize, 0xEE,
                    kRequestBufferSize - kRequestAreaSize);
        ASSERT_TRUE(LinkProcess(result));
        for (std::size_t i = kRequestAreaSize; i < kRequestBufferSize; ++i) {
            ASSERT_EQ(g_link.bufferStart[i], 0xEE) << "byte " << i;
        }
    }
}

TEST_F(OpenLinkTest, LargestReadIsDistributedWhole) {
    for (std::size_t i = 0; i < 32492; ++i) {
        fake::ModuleSpace().bytes[0x100 + i] = static_cast<std::uint8_t>(i * 7);
    }
    std::vector<std::uint8_t> into(32492 + 1, 0x33);
    LinkResult result = -1;
    ASSERT_TRUE(LinkRead(0x100, 32492, into.data(), result));
    ASSERT_TRUE(LinkProcess(result));
    for (std::size_t i = 0; i < 32492; ++i) {
        ASSERT_EQ(into[i], static_cast<std::uint8_t>(i * 7)) << "byte " << i;
    }
    EXPECT_EQ(into.back(), 0x33);  // nothing past the size asked for
}

TEST_F(OpenLinkTest, WriteSendsTheValueAtTheTimeOfTheCall) {
    std::int32_t staging = 5;
    LinkResult result = -1;
    ASSERT_TRUE(LinkWrite(0x9480, 4, &staging, result));
    staging = 6;
    ASSERT_TRUE(LinkWrite(0x9484, 4, &staging, result));
    staging = 7;
    ASSERT_TRUE(LinkProcess(result));
    EXPECT_EQ(link_test::ModuleWord(0x9480), 5u);
    EXPECT_EQ(link_test::ModuleWord(0x9484), 6u);
}

// A destination takes exactly the bytes asked for; two reads into one variable leave the later.
TEST_F(OpenLinkTest, DestinationsTakeExactlyTheirBytesInRecordOrder) {
    link_test::SetModuleWord(0x200, 0x44332211);
    link_test::SetModuleWord(0x300, 0x88776655);
    std::uint32_t narrow = 0xAAAAAAAA;
    std::uint32_t twice = 0;
    std::array<std::uint8_t, 4> untouched{9, 9, 9, 9};
    LinkResult result = -1;
    ASSERT_TRUE(LinkRead(0x200, 1, &narrow, result));
    ASSERT_TRUE(LinkRead(0x200, 4, &twice, result));
    ASSERT_TRUE(LinkRead(0x300, 4, &twice, result));
    ASSERT_TRUE(LinkRead(0x200, 0, untouched.data(), result));
    ASSERT_TRUE(LinkProcess(result));
    std::array<std::uint8_t, 4> narrowBytes;
    std::memcpy(narrowBytes.data(), &narrow, sizeof narrow);
    EXPECT_EQ(narrowBytes, (std::array<std::uint8_t, 4>{0x11, 0xAA, 0xAA, 0xAA}));
    EXPECT_EQ(twice, 0x88776655u);
    EXPECT_EQ(untouched, (std::array<std::uint8_t, 4>{9, 9, 9, 9}));
}

}  // namespace
