#include "tools/exchange/module_space.h"

#include <cstring>

#include "simlink/request_queue.h"

namespace exchange {
namespace {

std::uint32_t Load32(const std::uint8_t* at) {
    std::uint8_t bytes[4];
    std::memcpy(bytes, at, sizeof bytes);
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// How many of `size` bytes from `offset` lie inside the space (offset + size may exceed 2^32).
std::size_t BytesInsideSpace(std::uint32_t offset, std::uint32_t size) {
    if (offset >= kModuleSpaceSize) return 0;
    const std::size_t room = kModuleSpaceSize - offset;
    return size < room ? size : room;
}

void ReadFromSpace(const ModuleSpace& space, std::uint32_t offset, std::uint32_t size,
                   std::uint8_t* data) {
    const std::size_t inside = BytesInsideSpace(offset, size);
    if (inside != 0) std::memcpy(data, space.bytes + offset, inside);
    if (inside != size) std::memset(data + inside, 0, size - inside);
}

// The greeting bytes are kept aside, so the marker read at 0x3308 survives a handshake.
void WriteToSpace(ModuleSpace& space, std::uint32_t offset, std::uint32_t size,
                  const std::uint8_t* data) {
    const std::size_t inside = BytesInsideSpace(offset, size);
    bool greeted = false;
    for (std::size_t i = 0; i < inside; ++i) {
        const std::size_t at = offset + i;
        if (at >= kGreetingOffset && at < kGreetingOffset + kGreetingSize) {
            space.greeting[at - kGreetingOffset] = data[i];
            greeted = true;
        } else {
            space.bytes[at] = data[i];
        }
    }
    if (greeted) ++space.greetingWrites;
}

}  // namespace

void ResetModuleSpace(ModuleSpace& space) {
    std::memset(&space, 0, sizeof space);
    WriteSpace32(space, kModuleVersionOffset, kDefaultModuleVersion);
    WriteSpace32(space, kSimulatorWordOffset, kDefaultSimulatorWord);
}

std::uint32_t ReadSpace32(const ModuleSpace& space, std::uint32_t offset) {
    std::uint8_t bytes[4];
    ReadFromSpace(space, offset, sizeof bytes, bytes);
    return Load32(bytes);
}

void WriteSpace32(ModuleSpace& space, std::uint32_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t at = static_cast<std::size_t>(offset) + i;
        if (at < kModuleSpaceSize) space.bytes[at] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint16_t Greeting(const ModuleSpace& space) {
    return static_cast<std::uint16_t>(space.greeting[0] | space.greeting[1] << 8);
}

ExchangeOutcome CarryOutRecords(ModuleSpace& space, std::uint8_t* buffer, std::size_t bufferSize,
                                RecordObserver observer, void* context) {
    ExchangeOutcome outcome{WalkEnd::Truncated, 0, 0};
    std::size_t pos = 0;
    // Every comparison subtracts from what is left, never adds to the position: no overflow.
    while (bufferSize - pos >= kTerminatorSize) {
        const std::uint32_t id = Load32(buffer + pos + kRecordIdField);
        if (id == kTerminatorId) {
            outcome.end = WalkEnd::Terminator;
            break;
        }
        if (id != kReadRecordId && id != kWriteRecordId) {
            outcome.end = WalkEnd::UnknownId;
            break;
        }
        const std::size_t header = id == kReadRecordId ? kReadHeaderSize : kWriteHeaderSize;
        if (bufferSize - pos < header) break;
        const std::uint32_t offset = Load32(buffer + pos + kRecordOffsetField);
        const std::uint32_t size = Load32(buffer + pos + kRecordSizeField);
        if (bufferSize - pos - header < size) break;
        std::uint8_t* data = buffer + pos + header;
        RecordKind kind = RecordKind::Write;
        if (id == kReadRecordId) {
            kind = RecordKind::Read;
            ReadFromSpace(space, offset, size, data);
        } else {
            WriteToSpace(space, offset, size, data);
        }
        if (observer != nullptr) observer(context, kind, offset, size, data);
        ++outcome.recordsCarried;
        pos += header + size;
    }
    outcome.endPosition = pos;
    return outcome;
}

}  // namespace exchange
