// Fields of the add-on's state block, read from the snapshot by byte offset. The block is
// little-endian and its doubles need not be aligned, so every read goes through memcpy.
#pragma once

#include <cstdint>
#include <cstring>

#include "bridge/bridge.h"

inline std::int32_t SnapshotInt32(std::uint32_t offset) {
    std::int32_t value;
    std::memcpy(&value, g_bridge.snapshot + offset, sizeof value);
    return value;
}

inline double SnapshotDouble(std::uint32_t offset) {
    double value;
    std::memcpy(&value, g_bridge.snapshot + offset, sizeof value);
    return value;
}
