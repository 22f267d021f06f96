// The module's side of an exchange, as the fake and the stand-in module carry it out: it must
// hold against any buffer and keep its handshake marker through a greeting.
#include <array>
#include <memory>
#include <vector>

#include "tests/unit/link_test_support.h"
#include "tools/exchange/module_space.h"

namespace {

using exchange::CarryOutRecords;
using exchange::ModuleSpace;
using exchange::WalkEnd;
using link_test::SetWordAt;
using link_test::WordAt;

class ModuleSideTest : public ::testing::Test {
  protected:
    void SetUp() override { exchange::ResetModuleSpace(space); }

    // A space of its own: 64 KiB is too large for the stack.
    std::unique_ptr<ModuleSpace> owned = std::make_unique<ModuleSpace>();
    ModuleSpace& space = *owned;
};

// Appends a record to `buffer` and returns where its data begins.
std::size_t AddRecord(std::vector<std::uint8_t>& buffer, std::uint32_t id, std::uint32_t offset,
                      std::uint32_t size, std::uint32_t destination = 0) {
    const std::size_t at = buffer.size();
    const std::size_t header = id == kReadRecordId ? kReadHeaderSize : kWriteHeaderSize;
    buffer.resize(at + header + size);
    SetWordAt(buffer.data(), at, id);
    SetWordAt(buffer.data(), at + 4, offset);
    SetWordAt(buffer.data(), at + 8, size);
    if (id == kReadRecordId) SetWordAt(buffer.data(), at + 12, destination);
    return at + header;
}

void AddTerminator(std::vector<std::uint8_t>& buffer) {
    buffer.resize(buffer.size() + 4);
    SetWordAt(buffer.data(), buffer.size() - 4, 0);
}

TEST_F(ModuleSideTest, GreetingIsKeptApartAndTheMarkerSurvives) {
    std::vector<std::uint8_t> buffer;
    AddRecord(buffer, kReadRecordId, 0x3304, 4, 1);
    AddRecord(buffer, kReadRecordId, 0x3308, 4, 2);
    const std::size_t greeting = AddRecord(buffer, kWriteRecordId, 0x330A, 2);
    buffer[greeting] = 0xD2;
    buffer[greeting + 1] = 0x07;
    // A wide write across the greeting changes the bytes around it only.
    const std::size_t wide = AddRecord(buffer, kWriteRecordId, 0x3309, 4);
    for (std::size_t i = 0; i < 4; ++i) buffer[wide + i] = static_cast<std::uint8_t>(0xA0 + i);
    AddTerminator(buffer);
    const std::vector<std::uint8_t> sent = buffer;

    const auto outcome = CarryOutRecords(space, buffer.data(), buffer.size());
    EXPECT_EQ(outcome.end, WalkEnd::Terminator);
    EXPECT_EQ(outcome.recordsCarried, 4u);
    EXPECT_EQ(WordAt(buffer.data(), 16), exchange::kDefaultModuleVersion);
    EXPECT_EQ(WordAt(buffer.data(), 36), exchange::kDefaultSimulatorWord);
    EXPECT_EQ(exchange::Greeting(space), 0xA2A1);  // the later write's bytes
    EXPECT_EQ(space.greetingWrites, 2u);
    EXPECT_EQ(space.bytes[0x3309], 0xA0);
    EXPECT_EQ(exchange::ReadSpace32(space, 0x3308), 0xFADEA001u);
    EXPECT_EQ(space.bytes[0x330C], 0xA3);

    // Only read data areas changed in the buffer.
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        const bool readData = (i >= 16 && i < 20) || (i >= 36 && i < 40);
        if (!readData) {
            EXPECT_EQ(buffer[i], sent[i]) << "byte " << i;
        }
    }
}

// Offsets past 0xFFFF read as 0 and take no writes, also where offset + size wraps 32 bits.
TEST_F(ModuleSideTest, RecordsReachingPastTheSpaceAreCutAtItsEnd) {
    space.bytes[0xFFFE] = 0x11;
    space.bytes[0xFFFF] = 0x22;
    std::vector<std::uint8_t> buffer;
    const std::size_t edgeRead = AddRecord(buffer, kReadRecordId, 0xFFFE, 4);
    const std::size_t farRead = AddRecord(buffer, kReadRecordId, 0xFFFFFFFE, 4);
    const std::size_t edgeWrite = AddRecord(buffer, kWriteRecordId, 0xFFFF, 3);
    const std::size_t farWrite = AddRecord(buffer, kWriteRecordId, 0xFFFFFFFF, 2);
    std::fill(buffer.begin() + edgeRead, buffer.begin() + edgeRead + 4, 0x99);
    std::fill(buffer.begin() + farRead, buffer.begin() + farRead + 4, 0x99);
    std::fill(buffer.begin() + edgeWrite, buffer.begin() + edgeWrite + 3, 0x55);
    std::fill(buffer.begin() + farWrite, buffer.begin() + farWrite + 2, 0x66);
    AddTerminator(buffer);
    const std::vector<std::uint8_t> before(space.bytes, space.bytes + sizeof space.bytes);

    const auto outcome = CarryOutRecords(space, buffer.data(), buffer.size());
    EXPECT_EQ(outcome.end, WalkEnd::Terminator);
    EXPECT_EQ(outcome.recordsCarried, 4u);
    EXPECT_EQ(WordAt(buffer.data(), edgeRead), 0x00002211u);
    EXPECT_EQ(WordAt(buffer.data(), farRead), 0u);
    for (std::size_t i = 0; i < sizeof space.bytes; ++i) {
        const std::uint8_t expected = i == 0xFFFF ? 0x55 : before[i];
        ASSERT_EQ(space.bytes[i], expected) << "offset " << i;
    }
}

TEST_F(ModuleSideTest, WalkStopsAtUnknownIdsAndRecordsRunningPastTheBuffer) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> buffer;
        WalkEnd end;
        std::size_t carried;
    };
    std::vector<Case> cases;
    {
        Case c{"unknown id", {}, WalkEnd::UnknownId, 1};
        AddRecord(c.buffer, kReadRecordId, 0x10, 4, 1);
        AddRecord(c.buffer, 3, 0x10, 4);
        AddRecord(c.buffer, kReadRecordId, 0x20, 4, 2);
        AddTerminator(c.buffer);
        cases.push_back(c);
    }
    {
        Case c{"read data past the end", {}, WalkEnd::Truncated, 1};
        AddRecord(c.buffer, kWriteRecordId, 0x10, 1);
        AddRecord(c.buffer, kReadRecordId, 0x10, 8, 1);
        c.buffer.resize(c.buffer.size() - 1);
        cases.push_back(c);
    }
    {
        Case c{"size near 2^32", {}, WalkEnd::Truncated, 0};
        AddRecord(c.buffer, kWriteRecordId, 0x10, 0);
        SetWordAt(c.buffer.data(), 8, 0xFFFFFFFF);
        AddTerminator(c.buffer);
        cases.push_back(c);
    }
    {
        Case c{"header cut short", {}, WalkEnd::Truncated, 1};
        AddRecord(c.buffer, kReadRecordId, 0x10, 0);
        AddRecord(c.buffer, kReadRecordId, 0x10, 0);
        c.buffer.resize(c.buffer.size() - 3);
        cases.push_back(c);
    }
    {
        Case c{"no terminator", {}, WalkEnd::Truncated, 1};
        AddRecord(c.buffer, kWriteRecordId, 0x10, 2);
        c.buffer.push_back(0);  // three bytes short of an id
        cases.push_back(c);
    }
    cases.push_back({"empty buffer", {}, WalkEnd::Truncated, 0});
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Copied into storage of exactly its size, so a step past the end is an error the
        // sanitizers and valgrind report.
        auto exact = std::make_unique<std::uint8_t[]>(c.buffer.size());
        std::copy(c.buffer.begin(), c.buffer.end(), exact.get());
        const auto outcome = CarryOutRecords(space, exact.get(), c.buffer.size());
        EXPECT_EQ(outcome.end, c.end);
        EXPECT_EQ(outcome.recordsCarried, c.carried);
        EXPECT_LE(outcome.endPosition, c.buffer.size());
    }
}

// The fake module hands every record it carried out to its log, with the first data bytes.
TEST_F(ModuleSideTest, ObserverSeesEveryRecordCarriedOut) {
    struct Seen {
        exchange::RecordKind kind;
        std::uint32_t offset;
        std::uint32_t size;
        std::uint8_t first;
    };
    std::vector<Seen> seen;
    seen.reserve(4);
    space.bytes[0x40] = 0x5C;
    std::vector<std::uint8_t> buffer;
    const std::size_t written = AddRecord(buffer, kWriteRecordId, 0x30, 1);
    buffer[written] = 0x3A;
    AddRecord(buffer, kReadRecordId, 0x40, 1, 1);
    AddTerminator(buffer);
    CarryOutRecords(
        space, buffer.data(), buffer.size(),
        [](void* context, exchange::RecordKind kind, std::uint32_t offset, std::uint32_t size,
           const std::uint8_t* data) {
            static_cast<std::vector<Seen>*>(context)->push_back({kind, offset, size, data[0]});
        },
        &seen);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].kind, exchange::RecordKind::Write);
    EXPECT_EQ(seen[0].offset, 0x30u);
    EXPECT_EQ(seen[0].first, 0x3A);
    EXPECT_EQ(seen[1].kind, exchange::RecordKind::Read);
    EXPECT_EQ(seen[1].size, 1u);
    EXPECT_EQ(seen[1].first, 0x5C);  // after the data area was filled
}

}  // namespace
