// Connecting both sides, and letting go of them again: what a start does, and what a reconnect
// does in the same process, so that a reconnect is exactly a fresh start.
#pragma once

#include "simlink/link_result.h"

// The simulator link first, and only once it is open, the add-on's views; with both, one read of
// the module's block gives the bridge its start values. Gives the program status: LINK_OK, the
// link's code (from opening it, or from that read, which leaves both sides open), or
// STATUS_SDK_UNAVAILABLE.
LinkResult ConnectBothSides();

// Releases everything both sides hold (the link with its atom and mapping, both add-on views)
// and puts the link, the views and the bridge back to their start values. Only the count that
// names request buffers goes on, so that no name is used twice in one process.
void DisconnectBothSides();
