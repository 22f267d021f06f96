// A text for each result code, in tables that people read: the monitor's names, the panel's
// reasons.
#pragma once

#include <span>

#include "simlink/link_result.h"

struct LinkResultText {
    LinkResult code;
    const char* text;
};

// The table's text for `code`, or `unknown` for a code it does not hold.
constexpr const char* TextOfLinkResult(std::span<const LinkResultText> table, LinkResult code,
                                       const char* unknown) {
    for (const LinkResultText& entry : table) {
        if (entry.code == code) return entry.text;
    }
    return unknown;
}
