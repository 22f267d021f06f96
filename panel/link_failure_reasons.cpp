// Why the link to the simulator module failed, one sentence per result code, in the terms of
// somebody sitting at the simulator.
#include "panel/panel.h"
#include "simlink/link_result_text.h"

namespace {

// clang-format off
constexpr LinkResultText kReasons[] = {
    {LINK_ALREADY_OPEN,       "A link to the module was open already: close Quorvane and start it again."},
    {LINK_NO_SIMULATOR,       "No simulator module was found: start the simulator with its IPC module first, then File > Reconnect."},
    {LINK_NO_MESSAGE,         "Windows could not register the module's message: restart Windows if File > Reconnect does not help."},
    {LINK_NO_ATOM,            "Windows' table of global names is full: close other programs, then File > Reconnect."},
    {LINK_NO_MAPPING,         "The shared request buffer could not be created, or its name is taken: choose File > Reconnect."},
    {LINK_NO_VIEW,            "The shared request buffer could not be mapped: close other programs, then File > Reconnect."},
    {LINK_BAD_VERSION,        "The module gave no valid version: update the simulator's IPC module, then File > Reconnect."},
    {LINK_WRONG_SIMULATOR,    "The module serves another simulator than the one asked for."},
    {LINK_NOT_OPEN,           "The link to the module was not open: choose File > Reconnect."},
    {LINK_NOTHING_QUEUED,     "An exchange was asked for with nothing to send: choose File > Reconnect."},
    {LINK_TIMEOUT,            "It did not answer within 2 seconds, nine times: check that the simulator is not frozen, then File > Reconnect."},
    {LINK_SEND_FAILED,        "Windows could not deliver the request; the module has probably closed: start the simulator, then File > Reconnect."},
    {LINK_BAD_REPLY,          "The module received the request but refused it: check the IPC module, then File > Reconnect."},
    {LINK_MODULE_NOT_RUNNING, "The simulator's IPC module does not answer: install or enable it, then File > Reconnect."},
    {LINK_QUEUE_FULL,         "The shared request buffer overflowed: choose File > Reconnect."},
    {LINK_READ_LEFT_OUT,      "The module's reply left the read of the bridge's block out: check the IPC module, then File > Reconnect."},
};
// clang-format on

// Windows refuses a message across a boundary of rights with access denied: a simulator started
// as administrator cannot be reached by a program that was not.
constexpr const char* kRefusedForRights =
    "Access denied: the simulator runs as administrator and Quorvane does not. Start both the "
    "same way.";

}  // namespace

// Sends that all failed with a last error are told apart by that error: a refusal of rights,
// or a window that took the message and did not answer within the timeout, which is what
// SendMessageTimeout reports for a simulator that hangs: frozen, not closed.
const char* LinkFailureReason(LinkResult code, DWORD lastSendError) {
    if (code == LINK_SEND_FAILED && lastSendError == ERROR_ACCESS_DENIED) return kRefusedForRights;
    if (code == LINK_SEND_FAILED && lastSendError == ERROR_TIMEOUT) code = LINK_TIMEOUT;
    return TextOfLinkResult(kReasons, code,
                            "The link failed in a way Quorvane does not know: choose File > "
                            "Reconnect.");
}
