#include "bridge/bridge.h"

void PackIndicatorFlags() {}
void ExportIndicatorFlags() {}
