// What the launcher, a 32-bit program, sees on a 64-bit machine: WOW64's
// registry views and the redirected system folder; and VerifyVersionInfoW.
// Whole runs in both views are in the previews' test (the xp64-sp2 machine).
#include <gtest/gtest.h>

#include "base/text.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/version_check.h"
#include "tests/support/test_machine.h"

namespace zq {
namespace {

using nlohmann::json;
using sim::RegistryKeyInView;

const json kXp64 = {{"major", 5}, {"minor", 2}, {"servicePackMajor", 2}, {"bits", 64}};

TEST(Wow64, RegistryKeyInView) {
    const RegistryView kDefault = RegistryView::Default, k64 = RegistryView::Force64;
    const WString pictavo = L"SOFTWARE\\Zelt\\Pictavo", pictavo32 = L"SOFTWARE\\Wow6432Node\\Zelt\\Pictavo";
    EXPECT_EQ(RegistryKeyInView(pictavo, kDefault, true), pictavo32);
    EXPECT_EQ(RegistryKeyInView(L"software\\zelt", kDefault, true), L"software\\Wow6432Node\\zelt");
    EXPECT_EQ(RegistryKeyInView(L"SOFTWARE", kDefault, true), L"SOFTWARE\\Wow6432Node");
    EXPECT_EQ(RegistryKeyInView(pictavo32, kDefault, true), pictavo32);
    EXPECT_EQ(RegistryKeyInView(L"SOFTWAREX\\Zelt", kDefault, true), L"SOFTWAREX\\Zelt");
    for (bool is64Bit : {true, false}) {
        SCOPED_TRACE(is64Bit);
        EXPECT_EQ(RegistryKeyInView(pictavo, k64, is64Bit), pictavo);
        EXPECT_EQ(RegistryKeyInView(L"SYSTEM\\CurrentControlSet", kDefault, is64Bit), L"SYSTEM\\CurrentControlSet");
        EXPECT_EQ(RegistryKeyInView(L"SYSTEM\\CurrentControlSet", k64, is64Bit), L"SYSTEM\\CurrentControlSet");
    }
    EXPECT_EQ(RegistryKeyInView(pictavo, kDefault, false), pictavo);
}

TEST(Wow64, TheSystemFolderOfA32BitProcess) {
    const struct {
        int major, minor, bits;
        const wchar_t* named;
        bool found;  // the file lies in SysWOW64 only; "exempt" files in system32 only
    } rows[] = {
        {5, 1, 32, L"C:\\Windows\\system32\\only32.dll", false},
        {5, 2, 64, L"C:\\Windows\\System32\\only32.dll", true},
        {5, 2, 64, L"C:\\Windows\\inf\\..\\system32\\only32.dll", true},
        {5, 2, 64, L"C:\\Windows\\SysWOW64\\only32.dll", true},
        {5, 2, 64, L"C:\\Windows\\system32\\drivers\\etc\\hosts", true},             // exempt
        {6, 0, 64, L"C:\\Windows\\system32\\spool\\drivers\\x64\\3\\zq.dll", true},  // exempt
        {5, 2, 64, L"C:\\Windows\\system32\\drivers\\zq.sys", false},
        {6, 0, 64, L"C:\\Windows\\system32\\DriverStore\\x.inf", false},  // redirected on Vista
        {6, 1, 64, L"C:\\Windows\\system32\\DriverStore\\x.inf", true},   // exempt from Windows 7 on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Utf16ToUtf8(row.named) + " on " + std::to_string(row.major) + "." + std::to_string(row.minor));
        test::TestMachine machine;
        machine.config()["os"] = {{"major", row.major}, {"minor", row.minor}, {"bits", row.bits}};
        machine.WriteFile("C:\\Windows\\SysWOW64\\only32.dll", "x86");
        for (const char* file :
             {"drivers\\etc\\hosts", "spool\\drivers\\x64\\3\\zq.dll", "drivers\\zq.sys", "DriverStore\\x.inf"})
            machine.WriteFile(std::string("C:\\Windows\\system32\\") + file, "x64");
        Platform& platform = machine.Load().platform();
        EXPECT_EQ(platform.files.IsExistingFile(row.named), row.found);
        EXPECT_EQ(platform.environment.SystemDirectory(), L"C:\\Windows\\system32");
        // The printer set-up tool is the 32-bit one too.
        ASSERT_NE(platform.processes.Start(L"rundll32 printui.dll,PrintUIEntry /?").process, nullptr);
        EXPECT_EQ(machine.Events("processStart").at(0)["program"],
                  row.bits == 64 ? "C:\\Windows\\SysWOW64\\rundll32.exe" : "C:\\Windows\\system32\\rundll32.exe");
    }
}

// Major and minor must equal; the service pack is compared as a pair. The
// launcher's table (ValidateOS) holds the rest of the cases.
TEST(SimVersion, MajorMinorEqualServicePackAsAPair) {
    const struct {
        sim::OsVersion system;
        VersionRequest request;
        bool matches;
    } rows[] = {
        {{6, 1, 1, 0}, {6, 0, 0, 0}, false}, {{5, 1, 3, 0}, {5, 2, 0, 0}, false}, {{5, 2, 2, 0}, {5, 2, 1, 9}, true},
        {{5, 2, 2, 0}, {5, 2, 3, 0}, false}, {{5, 2, 2, 5}, {5, 2, 2, 3}, true},  {{5, 2, 2, 0}, {5, 2, 2, 1}, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(sim::VersionMatches(row.system, row.request), row.matches)
            << row.request.major << "." << row.request.minor << " SP " << row.request.servicePackMajor << "."
            << row.request.servicePackMinor;
    }
    test::TestMachine machine;
    machine.config()["os"] = kXp64;
    Platform& platform = machine.Load().platform();
    EXPECT_TRUE(platform.version.VerifyVersion({5, 2, 1, 9}));
    EXPECT_EQ(platform.environment.LastError(), 0u);
    EXPECT_FALSE(platform.version.VerifyVersion({5, 2, 2, 1}));
    EXPECT_EQ(platform.environment.LastError(), 1150u);
}

}  // namespace
}  // namespace zq
