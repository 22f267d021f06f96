// A seeded random add-on drives whole poll cycles, and everything the module receives is checked
// against a second computation of the export direction, written plainly here from the bridge's
// rules and sharing none of its code. Where each value goes is taken from the tables, whose rows
// the other tests pin by literal offsets; what goes there, when and in which order is recomputed.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <span>
#include <vector>

#include "bridge/display_table.h"
#include "bridge/flag_table.h"
#include "bridge/single_value_table.h"
#include "tests/unit/export_world.h"

namespace {

using export_world::Write;
using export_world::WritesOf;

// The block's bounds are the model's own, not bridge/bridge_block.h's: it shares nothing with
// the code it checks.
constexpr std::uint32_t kBlockStart = 0x9400;
constexpr std::uint32_t kBlockSize = 0xF8;

std::int32_t Int32At(std::span<const std::uint8_t> state, std::uint32_t offset) {
    std::int32_t value;
    std::memcpy(&value, state.data() + offset, sizeof value);
    return value;
}

double DoubleAt(std::span<const std::uint8_t> state, std::uint32_t offset) {
    double value;
    std::memcpy(&value, state.data() + offset, sizeof value);
    return value;
}

// Blank when the last processed digit is 10 or more; otherwise only the digits after the last
// blank one count.
double DisplayValue(const DisplayRow& row, std::span<const std::uint8_t> state) {
    const std::size_t last = row.digitCount - 1;
    if (Int32At(state, row.fields[last].source) >= 10) return 65535.0;
    std::size_t first = 0;
    for (std::size_t i = 0; i < last; ++i) {
        if (Int32At(state, row.fields[i].source) >= 10) first = i + 1;
    }
    double value = 0.0;
    for (std::size_t i = first; i <= last; ++i) {
        value += static_cast<double>(Int32At(state, row.fields[i].source)) * row.fields[i].weight;
    }
    return value;
}

// Low 16 bits of the value truncated to int32; NaN and anything out of range give -2^31,
// whose low 16 bits are 0.
std::array<std::uint8_t, 2> SixteenBits(double value) {
    if (std::isnan(value)) return {0, 0};
    const double whole = std::trunc(value);
    if (whole < -2147483648.0 || whole > 2147483647.0) return {0, 0};
    const std::int64_t integer = static_cast<std::int64_t>(whole);
    return {static_cast<std::uint8_t>(integer & 0xFF),
            static_cast<std::uint8_t>((integer >> 8) & 0xFF)};
}

// The bridge as a client of the module would reconstruct it: last-sent copies and the block.
class ExportModel {
  public:
    explicit ExportModel(const std::uint8_t* module) {
        std::memcpy(block_, module + kBlockStart, kBlockSize);
    }

    // The writes one cycle must queue for `state`, in order; applies them to the block.
    std::vector<Write> Cycle(std::span<const std::uint8_t> state) {
        std::vector<Write> writes;
        Displays(state, writes);
        Flags(state, writes);
        SingleValues(state, writes);
        return writes;
    }

    std::span<const std::uint8_t> Block() const { return block_; }

  private:
    void Displays(std::span<const std::uint8_t> state, std::vector<Write>& writes) {
        for (std::size_t n = 0; n < kDisplayCount; ++n) {
            const double value = DisplayValue(kDisplayTable[n], state);
            if (value == displays_[n]) continue;
            displays_[n] = value;
            const auto bytes = SixteenBits(value);
            Add(writes, kDisplayTable[n].destination, {bytes[0], bytes[1]});
        }
    }

    // Summed in 64 bits, compared on the low 32, sent as the low 8.
    void Flags(std::span<const std::uint8_t> state, std::vector<Write>& writes) {
        for (std::size_t k = 0; k < kFlagByteCount; ++k) {
            std::int64_t sum = 0;
            for (std::size_t bit = 0; bit < 8; ++bit) {
                const std::uint16_t source = kFlagTable[k].sources[bit];
                if (source != kNone) sum += std::int64_t{Int32At(state, source)} << bit;
            }
            const std::uint32_t bits = static_cast<std::uint32_t>(sum & 0xFFFFFFFF);
            if (bits == flags_[k]) continue;
            flags_[k] = bits;
            Add(writes, kFlagTable[k].destination, {static_cast<std::uint8_t>(bits & 0xFF)});
        }
    }

    void SingleValues(std::span<const std::uint8_t> state, std::vector<Write>& writes) {
        for (std::size_t i = 0; i < kSingleValueCount; ++i) {
            const SingleValueRow& row = kSingleValueTable[i];
            if (row.type == kInt32) {
                const std::int32_t value = Int32At(state, row.source);
                if (value == ints_[i]) continue;
                ints_[i] = value;
                Add(writes, row.destination, {static_cast<std::uint8_t>(value & 0xFF)});
            } else {
                const double value = DoubleAt(state, row.source);
                if (value == doubles_[i]) continue;
                doubles_[i] = value;
                const auto bytes = SixteenBits(value);
                Add(writes, row.destination, {bytes[0], bytes[1]});
            }
        }
    }

    void Add(std::vector<Write>& writes, std::uint32_t offset, std::vector<std::uint8_t> data) {
        std::memcpy(block_ + (offset - kBlockStart), data.data(), data.size());
        writes.push_back({offset, std::move(data)});
    }

    double displays_[kDisplayCount] = {};
    std::uint32_t flags_[kFlagByteCount] = {};
    std::int32_t ints_[kSingleValueCount] = {};
    double doubles_[kSingleValueCount] = {};
    std::uint8_t block_[kBlockSize];
};

// The add-on at its most unruly: digits, blanks, flags of 0, 1, 2 and -1, full-range integers,
// and doubles from ordinary to NaN, often on the fields the bridge reads.
class RandomAddOn {
  public:
    RandomAddOn(std::uint32_t seed, std::span<std::uint8_t> state) : rng_(seed), state_(state) {
        for (const DisplayRow& row : kDisplayTable) {
            for (std::size_t i = 0; i < row.digitCount; ++i)
                sources_.push_back(row.fields[i].source);
        }
        for (const FlagRow& row : kFlagTable) {
            for (std::uint16_t source : row.sources) {
                if (source != kNone) sources_.push_back(source);
            }
        }
        for (const SingleValueRow& row : kSingleValueTable) sources_.push_back(row.source);
    }

    void Change(int fields) {
        for (int i = 0; i < fields; ++i) {
            const std::uint32_t offset =
                Pick(2) == 0 ? sources_[Pick(sources_.size())]
                             : 4 * static_cast<std::uint32_t>(Pick(kSnapshotSize / 4));
            if (Pick(10) < 3 && offset + 8 <= kSnapshotSize) {
                const double value = RandomDouble();
                std::memcpy(state_.data() + offset, &value, sizeof value);
            } else {
                const std::int32_t value = RandomInt();
                std::memcpy(state_.data() + offset, &value, sizeof value);
            }
        }
    }

  private:
    std::size_t Pick(std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(rng_);
    }

    std::int32_t RandomInt() {
        constexpr std::int32_t kSmall[] = {-2, -1, 0, 0, 1, 1, 1, 2, 3, 5, 7, 9, 10, 11, 12};
        if (Pick(4) == 0) return static_cast<std::int32_t>(rng_());
        return kSmall[Pick(std::size(kSmall))];
    }

    double RandomDouble() {
        constexpr double kSpecial[] = {0.0,
                                       -0.0,
                                       std::numeric_limits<double>::quiet_NaN(),
                                       std::numeric_limits<double>::infinity(),
                                       3.0e9,
                                       -3.0e9,
                                       2147483647.9,
                                       -2147483648.9,
                                       65535.0,
                                       70000.0,
                                       123.9,
                                       -1.5,
                                       -0.4};
        if (Pick(2) == 0) return kSpecial[Pick(std::size(kSpecial))];
        return std::uniform_real_distribution<double>(-1.0e5, 1.0e5)(rng_);
    }

    std::mt19937 rng_;
    std::span<std::uint8_t> state_;
    std::vector<std::uint32_t> sources_;
};

class ExportModelTest : public export_world::CycleExportTest,
                        public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(ExportModelTest, EveryByteMatchesAPlainRecomputation) {
    ExportModel model(fake::ModuleSpace().bytes);
    RandomAddOn addOn(GetParam(), StateBlock());
    std::size_t writesSeen = 0;
    for (int cycle = 0; cycle < 40; ++cycle) {
        // Some cycles see no change at all; the rest a few fields or many.
        if (cycle % 5 != 4) addOn.Change(cycle % 3 == 0 ? 200 : 1 + cycle % 7);
        const std::vector<Write> expected = model.Cycle(StateBlock().first(kSnapshotSize));
        ASSERT_EQ(WritesOf(Cycle()), expected) << "cycle " << cycle;
        writesSeen += expected.size();
        const std::span<const std::uint8_t> block(fake::ModuleSpace().bytes + kBlockStart,
                                                  kBlockSize);
        ASSERT_TRUE(std::equal(block.begin(), block.end(), model.Block().begin()))
            << "cycle " << cycle;
    }
    EXPECT_GT(writesSeen, 500u);  // the add-on did reach the exported fields
}

INSTANTIATE_TEST_SUITE_P(Seeds, ExportModelTest, ::testing::Values(1u, 7u, 2024u, 0xC0FFEEu));

}  // namespace
