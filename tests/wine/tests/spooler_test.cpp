// ISpooler: winspool.drv loaded at run time from the system folder, in a
// prefix without printers. (IServices meets the real control manager in the
// plug-in's suites.)
#include <gtest/gtest.h>

#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

constexpr ErrorCode kErrorInvalidPrinterName = 1801;

TEST(Win32Spooler, LoadsTheSystemFoldersWinspoolAndFindsNoPrinter) {
    Win32Spooler spooler;
    const std::optional<std::vector<PrinterRecord>> printers = spooler.EnumLocalPrinters();
    ASSERT_TRUE(printers.has_value());
    EXPECT_TRUE(printers->empty());
    const PrinterOpen open = spooler.Open(L"ZQ No Such Printer");
    EXPECT_EQ(open.printer, nullptr);
    EXPECT_EQ(open.error, kErrorInvalidPrinterName);
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(::GetModuleHandleW(L"winspool.drv"), path, MAX_PATH);
    EXPECT_EQ(test::Lower(WString(path, length)),
              test::Lower(Win32ProcessEnvironment().SystemDirectory() + L"\\winspool.drv"));
}

}  // namespace
}  // namespace zq::win32
