#include "bench/bench_world.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "bridge/display_table.h"
#include "bridge/encoder_table.h"
#include "bridge/flag_table.h"
#include "bridge/single_value_table.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"
#include "tests/fake_win32/fake_win32.h"
#include "tests/fresh_world/fresh_world.h"

namespace bench_world {
namespace {

constexpr auto kStateBlockName = fake::Narrow(kStateMappingName);
constexpr auto kCommandBlockName = fake::Narrow(kCommandMappingName);
constexpr std::size_t kInputReadCount = 1 + kEncoderCount;

// What every source field holds in block A and in block B. Digits stay below 10, so no display
// is blank in either; flags go from 0 to 1, so every flag byte's sum changes.
struct FieldValues {
    std::int32_t digit;
    std::int32_t flag;
    std::int32_t integer;
    double real;
};
constexpr FieldValues kBlockValues[2] = {{1, 0, 0x11, 1.0}, {2, 1, 0x22, 2.0}};

std::uint8_t g_blocks[2][kStateViewSize];
RecordShape g_busyShape[kMaxQueuedRecords];
std::size_t g_busyShapeSize;

void Store(std::uint8_t* block, std::uint32_t offset, const void* value, std::size_t size) {
    std::memcpy(block + offset, value, size);
}

void FillBlock(std::uint8_t* block, const FieldValues& values) {
    for (const DisplayRow& row : kDisplayTable) {
        for (std::size_t i = 0; i < row.digitCount; ++i) {
            Store(block, row.fields[i].source, &values.digit, sizeof values.digit);
        }
    }
    for (const FlagRow& row : kFlagTable) {
        for (std::uint16_t source : row.sources) {
            if (source != kNone) Store(block, source, &values.flag, sizeof values.flag);
        }
    }
    for (const SingleValueRow& row : kSingleValueTable) {
        if (row.type == kInt32) {
            Store(block, row.source, &values.integer, sizeof values.integer);
        } else {
            Store(block, row.source, &values.real, sizeof values.real);
        }
    }
}

bool Fail(const char* why) {
    std::fprintf(stderr, "bench world: %s\n", why);
    return false;
}

}  // namespace

std::size_t ExportedValueCount() {
    std::size_t flagBytes = 0;
    for (const FlagRow& row : kFlagTable) flagBytes += FlagSourceCount(row) != 0;
    return kDisplayCount + flagBytes + kSingleValueCount;
}

const std::uint8_t* StateBlock(int which) {
    return g_blocks[which];
}

void UseStateBlock(int which) {
    g_sdk.stateView = g_blocks[which];
}

std::size_t LastExchangeBytes() {
    std::size_t bytes = kTerminatorSize;
    for (const fake::LoggedRecord& record : fake::LastExchangeRecords()) {
        const bool read = record.kind == exchange::RecordKind::Read;
        bytes += (read ? kReadHeaderSize : kWriteHeaderSize) + record.size;
    }
    return bytes;
}

std::span<const RecordShape> BusyExchangeShape() {
    return {g_busyShape, g_busyShapeSize};
}

bool Open() {
    fresh_world::Reset();
    fake::CreateBlockAsOtherProcess(kStateBlockName, kStateViewSize);
    fake::CreateBlockAsOtherProcess(kCommandBlockName, kCommandViewSize);
    fake::StartModule();
    // Nothing posted: a cycle serves no command and makes exactly one exchange.
    std::memcpy(fake::ModuleSpace().bytes + kMailboxOffset, &kMailboxEmpty, sizeof kMailboxEmpty);
    if (!LinkOpen(0, g_bridge.linkResult)) return Fail("the link does not open");
    if (SdkOpen() != LINK_OK) return Fail("the add-on's state block cannot be opened");

    FillBlock(g_blocks[0], kBlockValues[0]);
    FillBlock(g_blocks[1], kBlockValues[1]);

    // A, then B, then A: B's cycle sends every value, and the last-sent copies end on A.
    UseStateBlock(0);
    RunCycle();
    UseStateBlock(1);
    if (RunCycle() != LINK_OK) return Fail("a busy cycle fails");
    const auto busy = fake::LastExchangeRecords();
    if (busy.size() != ExportedValueCount() + kInputReadCount) {
        return Fail("blocks A and B do not differ in every exported value");
    }
    g_busyShapeSize = busy.size();
    for (std::size_t i = 0; i < busy.size(); ++i) {
        g_busyShape[i] = {busy[i].kind, busy[i].offset, busy[i].size};
    }
    UseStateBlock(0);
    if (RunCycle() != LINK_OK) return Fail("a cycle fails");
    if (RunCycle() != LINK_OK || fake::LastExchangeRecords().size() != kInputReadCount) {
        return Fail("a cycle on an unchanged block sends more than its reads");
    }
    return true;
}

}  // namespace bench_world
