// Microsoft's SDK declares the multimedia timer calls here, Wine's only in <mmsystem.h>. Seen
// only by scripts/check-wine-headers, which compiles the product against Wine's headers.
#pragma once

#include <mmsystem.h>
