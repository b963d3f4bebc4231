// The copy-progress dialog (template 109), shown on a thread of its own
// while a "zqstage" program runs.
#pragma once

#include "platform/platform.h"

namespace zq {

class CCopyDlg {
public:
    // Set by the runner before each display; used only for the caption.
    WString settingsFilePath;
};

}  // namespace zq
