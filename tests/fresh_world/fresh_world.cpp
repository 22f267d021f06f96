#include "tests/fresh_world/fresh_world.h"

#include "bridge/bridge.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"
#include "tests/fake_win32/fake_win32.h"

namespace fresh_world {

// Nothing is closed through the fake: its objects go with it, and the core only forgets its
// handles.
void Reset() {
    fake::Reset();
    ResetLinkStateForTest();
    ResetSdkViews();
    ResetBridgeState();
}

}  // namespace fresh_world
