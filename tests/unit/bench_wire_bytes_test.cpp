// What one exchange puts on the wire. A cycle in which every exported value changed must stay
// below 2,500 bytes of records, a small part of the 32,512 the request buffer allows; a quiet one
// carries the nine reads alone. The sizes follow from the tables, so a row added to one of them
// shows up here, not in a benchmark nobody reads.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bridge/bridge.h"
#include "tests/unit/cycle_world.h"

namespace {

constexpr std::size_t kBusyCycleBound = 2500;
constexpr std::size_t kFlagBytesWithFlags = kFlagByteCount - 1;  // 0x9408 carries none

struct ExchangeSize {
    std::size_t writes;
    std::size_t reads;
    std::size_t bytes;  // records and terminator
};

ExchangeSize LastExchangeSize() {
    ExchangeSize size{0, 0, kTerminatorSize};
    for (const fake::LoggedRecord& record : fake::LastExchangeRecords()) {
        const bool read = record.kind == exchange::RecordKind::Read;
        (read ? size.reads : size.writes) += 1;
        size.bytes += (read ? kReadHeaderSize : kWriteHeaderSize) + record.size;
    }
    return size;
}

TEST(WireBytes, BusyCycleStaysBelowItsBoundAndQuietOneCarriesTheReadsAlone) {
    ASSERT_NO_FATAL_FAILURE(cycle_world::Open());
    // Every 32-bit word 1: every digit is 1 and no display blank, every flag and integer is 1,
    // every double a tiny nonzero number. All differ from the zero last-sent copies of a fresh
    // process, so the first cycle sends every exported value: the worst case.
    const auto state = fake::BlockBytes(cycle_world::kStateBlock);
    const std::int32_t one = 1;
    for (std::size_t at = 0; at + sizeof one <= state.size(); at += sizeof one) {
        std::memcpy(state.data() + at, &one, sizeof one);
    }

    ASSERT_EQ(RunCycle(), LINK_OK);
    const ExchangeSize busy = LastExchangeSize();
    EXPECT_EQ(busy.writes, kDisplayCount + kFlagBytesWithFlags + kSingleValueCount);
    EXPECT_EQ(busy.reads, 1 + kEncoderCount);
    EXPECT_LT(busy.bytes, kBusyCycleBound);

    ASSERT_EQ(RunCycle(), LINK_OK);
    const ExchangeSize quiet = LastExchangeSize();
    EXPECT_EQ(quiet.writes, 0u);
    // The mailbox's 2-byte read and eight 1-byte reads, 16-byte headers each, and the terminator.
    EXPECT_EQ(quiet.bytes, (16 + 2) + kEncoderCount * (16 + 1) + 4);
}

}  // namespace
