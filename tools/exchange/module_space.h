// The simulator module's side of an exchange: a 64 KiB space of numbered offsets and the
// carrying out of a request buffer's records on it.
//
// Written once and shared by the in-process fake, the stand-in module and the fuzz targets. The
// buffer comes from another process, so every byte of it is treated as hostile: the walk never
// touches memory outside the buffer it is given nor outside the space, and it never allocates.
#pragma once

#include <cstddef>
#include <cstdint>

namespace exchange {

constexpr std::size_t kModuleSpaceSize = 0x10000;

// Handshake values a real module holds, and where the client's greeting lands.
constexpr std::uint32_t kModuleVersionOffset = 0x3304;
constexpr std::uint32_t kSimulatorWordOffset = 0x3308;  // marker 0xFADE high, simulator id low
constexpr std::uint32_t kGreetingOffset = 0x330A;       // upper half of the simulator word
constexpr std::size_t kGreetingSize = 2;
constexpr std::uint32_t kDefaultModuleVersion = 0x19980005;
constexpr std::uint32_t kDefaultSimulatorWord = 0xFADE0001;

// Offsets past the end of the space read as 0 and take no writes: a record that reaches beyond
// 0xFFFF is carried out for the part that lies inside, so one stray record cannot fail a whole
// exchange, and nothing outside the space is ever touched.
struct ModuleSpace {
    std::uint8_t bytes[kModuleSpaceSize];  // the offsets 0x0000..0xFFFF
    std::uint8_t greeting[kGreetingSize];  // last bytes written to 0x330A..0x330B
    std::uint32_t greetingWrites;          // write records that touched the greeting
};

// All offsets zero except the handshake values; no greeting yet.
void ResetModuleSpace(ModuleSpace& space);

// Little-endian 32-bit access for handshake values and tests; beyond the space as above.
std::uint32_t ReadSpace32(const ModuleSpace& space, std::uint32_t offset);
void WriteSpace32(ModuleSpace& space, std::uint32_t offset, std::uint32_t value);

// The greeting as the client wrote it: D2 07 reads as 0x07D2.
std::uint16_t Greeting(const ModuleSpace& space);

enum class RecordKind : std::uint8_t { Read, Write };

// Called once per record carried out: for a read after its data area was filled, for a write
// with the data as it stood in the buffer. Data points into the buffer, `size` bytes long.
using RecordObserver = void (*)(void* context, RecordKind kind, std::uint32_t offset,
                                std::uint32_t size, const std::uint8_t* data);

enum class WalkEnd : std::uint8_t {
    Terminator,  // a zero id
    UnknownId,   // an id other than 0, 1 or 2; left as it was
    Truncated,   // a record, or the next id, would run past the buffer's end
};

struct ExchangeOutcome {
    WalkEnd end;
    std::size_t recordsCarried;  // records carried out before the walk ended
    std::size_t endPosition;     // byte where the walk stopped
};

// Carries out the records from byte 0 of `buffer` in order: a read fills its data area from
// the space, a write copies its data into the space. Ids, offsets, sizes, destinations and the
// terminator are left as they were; only read data areas change in the buffer.
ExchangeOutcome CarryOutRecords(ModuleSpace& space, std::uint8_t* buffer, std::size_t bufferSize,
                                RecordObserver observer = nullptr, void* context = nullptr);

}  // namespace exchange
