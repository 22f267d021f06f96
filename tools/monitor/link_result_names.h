// Readable names of the link's result codes, for people reading the monitor's output.
#pragma once

#include "simlink/link_result.h"

const char* LinkResultName(LinkResult code);
