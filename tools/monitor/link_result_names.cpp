#include "tools/monitor/link_result_names.h"

#include "simlink/link_result_text.h"

namespace {

// clang-format off
constexpr LinkResultText kResultNames[] = {
    {LINK_OK,                 "LINK_OK"},
    {LINK_ALREADY_OPEN,       "LINK_ALREADY_OPEN"},
    {LINK_NO_SIMULATOR,       "LINK_NO_SIMULATOR: no UIPCMAIN or FS98MAIN window"},
    {LINK_NO_MESSAGE,         "LINK_NO_MESSAGE"},
    {LINK_NO_ATOM,            "LINK_NO_ATOM"},
    {LINK_NO_MAPPING,         "LINK_NO_MAPPING"},
    {LINK_NO_VIEW,            "LINK_NO_VIEW"},
    {LINK_BAD_VERSION,        "LINK_BAD_VERSION"},
    {LINK_WRONG_SIMULATOR,    "LINK_WRONG_SIMULATOR"},
    {LINK_NOT_OPEN,           "LINK_NOT_OPEN"},
    {LINK_NOTHING_QUEUED,     "LINK_NOTHING_QUEUED"},
    {LINK_TIMEOUT,            "LINK_TIMEOUT: the module did not answer"},
    {LINK_SEND_FAILED,        "LINK_SEND_FAILED"},
    {LINK_BAD_REPLY,          "LINK_BAD_REPLY: the module answered other than 1"},
    {LINK_MODULE_NOT_RUNNING, "LINK_MODULE_NOT_RUNNING"},
    {LINK_QUEUE_FULL,         "LINK_QUEUE_FULL"},
    {LINK_READ_LEFT_OUT,      "LINK_READ_LEFT_OUT: the module's reply left a read out"},
};
// clang-format on

}  // namespace

const char* LinkResultName(LinkResult code) {
    return TextOfLinkResult(kResultNames, code, "unknown result");
}
