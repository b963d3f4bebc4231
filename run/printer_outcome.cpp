#include "run/printer_outcome.h"

namespace zq {

std::string_view PrinterOutcomeName(PrinterOutcome outcome) {
    switch (outcome) {
        case PrinterOutcome::Recreated: return "re-created";
        case PrinterOutcome::Restored: return "restored";
        case PrinterOutcome::RestoreFailed: return "restore failed";
        case PrinterOutcome::Kept: return "kept";
        case PrinterOutcome::Skipped: return "skipped";
    }
    return "";
}

}  // namespace zq
