// The Windows implementations of every platform interface, gathered into one Platform.
#pragma once

#include "platform/platform.h"

namespace updexar::win32 {

// Built once per process. The clock runs UPDEXAR_TIME_SCALE times faster when that environment
// variable holds a number above 1, so tests of the long waits finish quickly.
platform::Platform& Win32Platform();

}  // namespace updexar::win32
