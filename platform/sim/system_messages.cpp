#include "platform/sim/system_messages.h"

namespace zq::sim {

namespace {

struct MessageRow {
    ErrorCode code;
    const wchar_t* text;
};

// English Windows; Wine's texts differ ("File not found.") and are not used.
constexpr MessageRow kMessages[] = {
    {0, L"The operation completed successfully."},
    {2, L"The system cannot find the file specified."},
    {3, L"The system cannot find the path specified."},
    {5, L"Access is denied."},
    {6, L"The handle is invalid."},
    {18, L"There are no more files."},
    {32, L"The process cannot access the file because it is being used by another process."},
    {87, L"The parameter is incorrect."},
    {123, L"The filename, directory name, or volume label syntax is incorrect."},
    {183, L"Cannot create a file when that file already exists."},
    {193, L"%1 is not a valid Win32 application."},
    {234, L"More data is available."},
    {267, L"The directory name is invalid."},
    {1056, L"An instance of the service is already running."},
    {1060, L"The specified service does not exist as an installed service."},
    {1061, L"The service cannot accept control messages at this time."},
    {1062, L"The service has not been started."},
    {1150, L"The specified program requires a newer version of Windows."},
    {1722, L"The RPC server is unavailable."},
    {1797, L"The printer driver is unknown."},
    {1798, L"The print processor is unknown."},
    {1801, L"The printer name is invalid."},
    {1802, L"The printer already exists."},
};

}  // namespace

WString SystemMessageText(ErrorCode code) {
    for (const MessageRow& row : kMessages) {
        if (row.code == code) return WString(row.text) + L"\r\n";
    }
    return {};
}

}  // namespace zq::sim
