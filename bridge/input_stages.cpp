#include "bridge/bridge.h"
// placeholder until the input stages land
void ServeCommandMailbox() {}
void ServeEncoders() {}
