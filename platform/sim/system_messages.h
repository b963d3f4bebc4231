// The system's English message texts (FormatMessageW from the system table),
// for the codes the machine can produce. Each text ends in CR LF, as
// Windows gives it; "%1" stays literal.
#pragma once

#include "platform/platform.h"

namespace zq::sim {

// Empty for a code the table does not hold.
WString SystemMessageText(ErrorCode code);

}  // namespace zq::sim
