// A running bridge in the in-process fake world, for the benchmarks and the instruction-count
// driver: the module answering, the link open, the add-on's blocks published, and two state
// blocks that differ in every field a stage reads, so that alternating them changes every
// exported value on every cycle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "bridge/bridge.h"
#include "tools/exchange/module_space.h"

namespace bench_world {

// A record as the module carried it out: what a replay of that exchange queues again.
struct RecordShape {
    exchange::RecordKind kind;
    std::uint32_t offset;
    std::uint32_t size;
};

// A fresh process, opened as the shell opens it, then brought to steady state: the last-sent
// copies hold block A's values, so a cycle on A is quiet and one on B sends everything.
// False, with the reason printed, when the world cannot be set up or a busy cycle does not send
// every exported value.
bool Open();

// The two prepared state blocks (0 = A, 1 = B).
const std::uint8_t* StateBlock(int which);

// Points the SDK's state view at a prepared block: the cycle copies from there. Swapping a
// pointer, not copying 3976 bytes, keeps the preparation out of what a busy cycle measures.
void UseStateBlock(int which);

// Bytes of request buffer that the last exchange carried: its records and the terminator, as
// the module's log of it has them.
std::size_t LastExchangeBytes();

// The records of the last exchange, in order (the busy cycle's, after Open).
std::span<const RecordShape> BusyExchangeShape();

// Exported values a busy cycle writes: every display, every flag byte that has flags, every
// single value.
std::size_t ExportedValueCount();

}  // namespace bench_world
