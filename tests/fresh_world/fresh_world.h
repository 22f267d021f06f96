// The one set-up behind every native test, benchmark and fuzz target: the state of a process
// that has just started, in an empty fake world.
#pragma once

namespace fresh_world {

// Empties the fake (its windows, objects, files, scripted faults, call counts and clock) and
// clears what the core keeps between calls: the link, the add-on's views and the bridge. Cheap
// enough to run before each fuzz input.
void Reset();

}  // namespace fresh_world
