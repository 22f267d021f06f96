#include "tools/monitor/link_failure_words.h"

#include "panel/panel.h"

namespace {

// The panel's sentences speak of Quorvane's window: its menu, its name, and "It" for the module
// on the line that names it. A monitor user has none of these; one list of sentences is kept,
// the panel's, and these phrases are said in the monitor's terms instead, longest first.
struct Rewording {
    const char* panel;
    const char* monitor;
};

// clang-format off
constexpr Rewording kRewordings[] = {
    {"if File > Reconnect does not help", "if running monitor again does not help"},
    {"choose File > Reconnect",           "run monitor again"},
    {"File > Reconnect",                  "run monitor again"},
    {"It did not answer",                 "The module did not answer"},
    {"Quorvane",                          "monitor"},
};
// clang-format on

void Replace(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

}  // namespace

std::string LinkFailureWords(LinkResult code, DWORD lastSendError) {
    std::string words = LinkFailureReason(code, lastSendError);
    for (const Rewording& rewording : kRewordings)
        Replace(words, rewording.panel, rewording.monitor);
    return words + " (" + std::to_string(code) + ")";
}
