// Why the link failed, told to whoever runs the monitor: the panel's sentence for the code, with
// what to do said in the monitor's terms.
#pragma once

#include <string>

#include "platform/win32.h"
#include "simlink/link_result.h"

// "Windows could not deliver the request; ...: start the simulator, then run monitor again.
// (12)". `lastSendError` is the system's error after the failed exchange's sends.
std::string LinkFailureWords(LinkResult code, DWORD lastSendError);
