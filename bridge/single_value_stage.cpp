#include "bridge/bridge.h"

void ExportSingleValues() {}
