// IServices against the prefix's service control manager, and ISpooler
// (winspool.drv loaded at run time) in a prefix without printers.
#include <gtest/gtest.h>

#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

constexpr ErrorCode kErrorServiceDoesNotExist = 1060;
constexpr ErrorCode kErrorServiceNotActive = 1062;
constexpr ErrorCode kErrorInvalidPrinterName = 1801;

// The device service installed, never started: found in any case, stopped,
// and a stop refused; a missing one is 1060.
TEST(Win32Services, OpensByNameInAnyCaseAndReadsTheState) {
    Win32Services services;
    ServiceManagerOpen manager = services.OpenManager();
    ASSERT_NE(manager.manager, nullptr);
    EXPECT_EQ(manager.error, 0u);
    EXPECT_EQ(manager.manager->OpenService(L"zqdevsvc").error, kErrorServiceDoesNotExist);

    test::InstalledDevService installed;
    ASSERT_TRUE(installed.IsInstalled());
    ServiceOpen open = manager.manager->OpenService(L"ZQDevSvc");
    ASSERT_NE(open.service, nullptr) << "error " << open.error;
    EXPECT_EQ(open.error, 0u);
    EXPECT_EQ(open.service->CurrentState(), std::optional<std::uint32_t>(kServiceStopped));
    EXPECT_EQ(open.service->Stop(), kErrorServiceNotActive);
}

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
