// The finish screen (template 106): restarts the computer on Finish unless
// the check box is ticked.
#pragma once

#include "platform/platform.h"

namespace zq {

class CFinishScreen {
public:
    // Set by the section launcher before the display; the texts come from it.
    WString settingsFilePath;
};

}  // namespace zq
