// The exit clean-up: a global object, constructed before the entry runs, whose destructor
// releases both sides once the entry has returned, also after a failed start (releasing what
// was never acquired does nothing). The add-on's command view is left to the system.
#include "sdk/sdk.h"
#include "simlink/simlink.h"

namespace {

struct ExitCleanup {
    // Runs once at normal process exit, after wWinMain has returned.
    ~ExitCleanup() {
        SdkClose();
        LinkClose();
    }
};

ExitCleanup g_exitCleanup;

}  // namespace
