// The bridge block as a table for spreadsheets and panel tools: a header row, then one row per
// field of 0x9400..0x94F7 in ascending offset, printed from the bridge's own tables.
#pragma once

#include <string>

std::string OffsetsCsv();
