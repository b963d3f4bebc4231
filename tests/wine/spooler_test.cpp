// ISpooler: winspool.drv loaded at run time in a prefix without printers.
#include <gtest/gtest.h>

#include "platform/win32/win32_platform.h"

namespace zq::win32 {
namespace {

constexpr ErrorCode kErrorInvalidPrinterName = 1801;

TEST(Win32Spooler, FreshPrefixHasNoLocalPrinters) {
    Win32Spooler spooler;
    const std::optional<std::vector<PrinterRecord>> printers = spooler.EnumLocalPrinters();
    ASSERT_TRUE(printers.has_value());
    EXPECT_TRUE(printers->empty());
}

TEST(Win32Spooler, OpeningAMissingPrinterFails) {
    Win32Spooler spooler;
    const PrinterOpen open = spooler.Open(L"ZQ No Such Printer");
    EXPECT_EQ(open.printer, nullptr);
    EXPECT_EQ(open.error, kErrorInvalidPrinterName);
}

TEST(Win32Spooler, LoadsTheSystemFoldersWinspool) {
    Win32Spooler spooler;
    spooler.EnumLocalPrinters();
    HMODULE module = ::GetModuleHandleW(L"winspool.drv");
    ASSERT_NE(module, nullptr);
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
    wchar_t system[MAX_PATH];
    const UINT systemLength = ::GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(_wcsicmp(WString(path, length).c_str(), (WString(system, systemLength) + L"\\winspool.drv").c_str()), 0);
}

}  // namespace
}  // namespace zq::win32
