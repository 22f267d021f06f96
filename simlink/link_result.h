// Result codes of the simulator link. They double as the program status, which adds its own
// codes from 100 on: what failed beside the link itself (the add-on's here; the shell's in its
// own header).
#pragma once

#include <cstdint>

using LinkResult = std::int32_t;

enum : LinkResult {
    LINK_OK = 0,
    LINK_ALREADY_OPEN = 1,
    LINK_NO_SIMULATOR = 2,
    LINK_NO_MESSAGE = 3,
    LINK_NO_ATOM = 4,
    LINK_NO_MAPPING = 5,
    LINK_NO_VIEW = 6,
    LINK_BAD_VERSION = 7,
    LINK_WRONG_SIMULATOR = 8,
    LINK_NOT_OPEN = 9,
    LINK_NOTHING_QUEUED = 10,
    LINK_TIMEOUT = 11,
    LINK_SEND_FAILED = 12,
    LINK_BAD_REPLY = 13,
    LINK_MODULE_NOT_RUNNING = 14,
    LINK_QUEUE_FULL = 15,
    LINK_READ_LEFT_OUT = 16,       // the module's reply left out a read the caller needs
    STATUS_SDK_UNAVAILABLE = 100,  // the add-on's state could not be reached
};
