// Counts heap allocations while switched on. Linking this in replaces the program's global
// allocation functions, so only test programs link it; the poll cycle must never allocate,
// and a count taken around cycles shows that it does not.
#pragma once

#include <cstdint>

namespace allocation_counter {

void Start();           // counting on
void Stop();            // counting off; the count stays
void Reset();           // count back to 0
std::uint64_t Count();  // allocations while counting was on

}  // namespace allocation_counter
