// A fresh bridge with the link open to the fake module, for the tests of the export stages. The
// tests write the snapshot directly, run the export half of a cycle and look at what the module
// received: its offsets, and the write records of the exchange in the order they were queued.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "bridge/block_seed.h"
#include "bridge/bridge.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"
#include "tests/fake_win32/fake_win32.h"
#include "tests/fresh_world/fresh_world.h"

namespace export_world {

struct Write {
    std::uint32_t offset;
    std::vector<std::uint8_t> data;

    bool operator==(const Write&) const = default;
};

inline std::vector<Write> WritesOf(std::span<const fake::LoggedRecord> records) {
    std::vector<Write> writes;
    for (const fake::LoggedRecord& record : records) {
        if (record.kind != exchange::RecordKind::Write) continue;
        const auto data = record.Data();
        writes.push_back({record.offset, {data.begin(), data.end()}});
    }
    return writes;
}

inline void SetField(std::uint32_t offset, std::int32_t value) {
    std::memcpy(g_bridge.snapshot + offset, &value, sizeof value);
}

inline void SetField(std::uint32_t offset, double value) {
    std::memcpy(g_bridge.snapshot + offset, &value, sizeof value);
}

// The five stages in the cycle's order, then one exchange if anything was queued. Returns the
// write records the module carried out, in queuing order; none when nothing was queued.
inline std::vector<Write> ExportCycle() {
    DecodeDisplays();
    PackIndicatorFlags();
    ExportDisplays();
    ExportIndicatorFlags();
    ExportSingleValues();
    if (g_link.writePos == g_link.bufferStart) return {};
    EXPECT_TRUE(LinkProcess(g_bridge.linkResult));
    return WritesOf(fake::LastExchangeRecords());
}

inline std::uint8_t ModuleByte(std::uint32_t offset) {
    return fake::ModuleSpace().bytes[offset];
}

inline std::uint16_t Module16(std::uint32_t offset) {
    return static_cast<std::uint16_t>(ModuleByte(offset) | ModuleByte(offset + 1) << 8);
}

class ExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fresh_world::Reset();
        fake::StartModule();
        ASSERT_TRUE(LinkOpen(0, g_bridge.linkResult));
    }
};

// The stages as the poll cycle runs them, on the state block the add-on publishes. No command
// block is published, so a cycle makes exactly one exchange and no command is served.
class CycleExportTest : public ExportTest {
  protected:
    static constexpr auto kStateBlockName = fake::Narrow(kStateMappingName);

    void SetUp() override {
        ExportTest::SetUp();
        fake::CreateBlockAsOtherProcess(kStateBlockName, kStateViewSize);
        ASSERT_EQ(SdkOpen(), LINK_OK);
        // As connecting does, to a block whose mailbox a bridge emptied: every start value is 0,
        // and the first cycle carries exports only (a never-written block would add its mark).
        fake::ModuleSpace().bytes[0x9400] = fake::ModuleSpace().bytes[0x9401] = 0xFF;
        ASSERT_EQ(SeedBridgeFromModuleBlock(), LINK_OK);
    }

    static std::span<std::uint8_t> StateBlock() { return fake::BlockBytes(kStateBlockName); }

    // One RunCycle; the records its exchange carried, reads and writes, in queuing order.
    static std::span<const fake::LoggedRecord> Cycle() {
        const unsigned before = fake::ExchangesHandled();
        EXPECT_EQ(RunCycle(), LINK_OK);
        EXPECT_EQ(fake::ExchangesHandled(), before + 1);
        return fake::LastExchangeRecords();
    }
};

}  // namespace export_world
