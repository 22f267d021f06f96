#include "bridge/bridge.h"

void DecodeDisplays() {}
void ExportDisplays() {}
