// The program as a whole, on whichever machine the platform describes.
#pragma once

#include "platform/platform.h"

namespace zq {

// Constructs the process-wide objects (the application object, the
// settings object, the logger), looks up IsWow64Process, runs InitInstance
// and returns the exit status: 0 on every path. An exception that would end
// the program (exhausted memory included) ends the run instead, logged as
// "## Unexpected error : %s" at level 1 with its text.
int RunProgram(Platform& platform);

}  // namespace zq
