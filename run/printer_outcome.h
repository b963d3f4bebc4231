// What the printer pass of the update plug-in did with each printer it took
// up: one outcome a printer, kept for the whole run so that a report at the
// end can name every printer and what became of it.
#pragma once

#include <string_view>

#include "platform/platform.h"

namespace zq {

enum class PrinterOutcome {
    Recreated,      // deleted and installed again with the package's driver
    Restored,       // the set-up tool did not re-create it; put back as it was
    RestoreFailed,  // neither re-created nor put back: the printer is gone
    Kept,           // it could not be opened or deleted, so it was left alone
    Skipped,        // a double quote in its name, port, driver or the INF path
};

struct PrinterResult {
    WString name, port, driver;
    PrinterOutcome outcome = PrinterOutcome::Recreated;
};

// "re-created", "restored", "restore failed", "kept", "skipped".
std::string_view PrinterOutcomeName(PrinterOutcome outcome);

}  // namespace zq
