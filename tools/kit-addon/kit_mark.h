// The kit add-on's mark in the state mapping it creates, so that a kit add-on started again
// while Quorvane still holds the old mapping takes it over, where the real add-on's mapping
// (which carries no mark) stays refused.
#pragma once

#include <cstdint>

#include "platform/win32.h"

enum class StateMappingFound : std::uint8_t {
    None,       // no add-on's state mapping exists
    LeftByKit,  // a kit add-on's, which ended: this one takes it over
    KitRuns,    // a kit add-on's, whose add-on still runs (its process id)
    Foreign,    // without the mark, or refused to us: the real add-on's
};

// Looks at the state mapping of that name, if one exists; `owner` receives the process id of
// the kit add-on that runs beside it.
StateMappingFound ExamineStateMapping(DWORD& owner);

// Marks a state mapping's view (kStateBlockSize bytes) as this process's.
void WriteKitMark(std::uint8_t* stateView);
// At an orderly end: the mark stays, naming no process, so the next kit add-on takes over at
// once even when this process id is given again to another program.
void ReleaseKitMark(std::uint8_t* stateView);
