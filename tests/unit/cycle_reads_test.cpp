// The round-trip measure and the floor client stand for Quorvane's quiet exchange across
// processes only while they put the very same request on the wire as a quiet cycle does.
#include "bench/latency/cycle_reads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <span>
#include <vector>

#include "tests/unit/cycle_world.h"

namespace {

// The request buffer of the next exchange as the module leaves it (its reads answered), up to
// and with the terminator.
std::vector<std::uint8_t> NextRequest(const std::function<void()>& exchange) {
    std::vector<std::uint8_t> request;
    fake::SetAfterExchangeHook([&request](std::span<std::uint8_t> buffer) {
        request.assign(buffer.begin(), buffer.end());
    });
    exchange();
    fake::SetAfterExchangeHook({});
    std::size_t bytes = kTerminatorSize;
    for (const fake::LoggedRecord& record : fake::LastExchangeRecords()) {
        const bool read = record.kind == exchange::RecordKind::Read;
        bytes += (read ? kReadHeaderSize : kWriteHeaderSize) + record.size;
    }
    request.resize(std::min(bytes, request.size()));
    return request;
}

TEST(CycleReads, SendTheQuietCyclesRequestByteForByteAndBringItsAnswers) {
    ASSERT_NO_FATAL_FAILURE(cycle_world::Open());  // the mailbox reads empty, -1
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        cycle_world::SetCounter(k, static_cast<std::uint8_t>(0xA0 + k));
    }
    // The first cycle exports every value and takes the counters as seen; the next are quiet.
    ASSERT_EQ(RunCycle(), LINK_OK);

    const auto quiet = NextRequest([] { ASSERT_EQ(RunCycle(), LINK_OK); });
    CycleReads reads{};
    LinkResult result = LINK_NOT_OPEN;
    const auto client = NextRequest([&] { ASSERT_TRUE(ExchangeCycleReads(reads, result)); });

    EXPECT_EQ(quiet.size(), (16u + 2) + kEncoderCount * (16 + 1) + 4);
    EXPECT_EQ(client, quiet);
    EXPECT_EQ(result, LINK_OK);
    EXPECT_EQ(reads.mailbox, -1);
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        EXPECT_EQ(reads.counters[k], static_cast<std::int32_t>(0xA0 + k)) << "counter " << k;
    }
}

}  // namespace
