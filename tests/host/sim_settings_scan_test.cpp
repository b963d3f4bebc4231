// The simulated GetPrivateProfileStringW reads a settings file once for each
// content it has: many values cost one scan, and a change of the file, however
// quick and whatever its size, is seen by the next read, as on Windows.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "base/text.h"
#include "tests/support/scenario.h"
#include "tests/support/settings_file.h"
#include "tests/support/test_machine.h"

namespace zq::sim {
namespace {

struct ScanStep {
    const char* what;
    // Before the read: the file's new bytes (written from the host, as
    // another program would), or its removal.
    std::optional<std::string> write;
    bool remove = false;
    const char* file = "C:\\Package\\a.ini";
    const wchar_t* key = L"K";
    const wchar_t* expected = L"";
    std::uint64_t scansAfter = 0;  // of all files, after the read
};

TEST(SimSettingsScan, OneScanPerContentOfAFile) {
    const ScanStep steps[] = {
        {"the first read scans the file", "[S]\r\nK=one\r\nL=ell\r\n", false, "C:\\Package\\a.ini", L"K", L"one", 1},
        {"another key of the same file: no new scan", {}, false, "C:\\Package\\a.ini", L"L", L"ell", 1},
        {"a missing key of the same file: no new scan", {}, false, "C:\\Package\\a.ini", L"M", L"dflt", 1},
        {"other bytes of the same size, at once: read again", "[S]\r\nK=two\r\nL=ell\r\n", false, "C:\\Package\\a.ini",
         L"K", L"two", 2},
        {"the same bytes written again: the scan serves", "[S]\r\nK=two\r\nL=ell\r\n", false, "C:\\Package\\a.ini",
         L"K", L"two", 2},
        {"a longer content", "[S]\r\nK=three\r\nL=ell\r\n", false, "C:\\Package\\a.ini", L"K", L"three", 3},
        {"a second file has a scan of its own", "[S]\r\nK=bee\r\n", false, "C:\\Package\\b.ini", L"K", L"bee", 4},
        {"the first file's scan is still kept", {}, false, "C:\\Package\\a.ini", L"L", L"ell", 4},
        {"the file removed: the default, nothing scanned", {}, true, "C:\\Package\\a.ini", L"K", L"dflt", 4},
        {"the file back with the same bytes: the kept scan serves", "[S]\r\nK=three\r\nL=ell\r\n", false,
         "C:\\Package\\a.ini", L"K", L"three", 4},
        {"a shorter content", "[S]\r\nK=4\r\n", false, "C:\\Package\\a.ini", L"L", L"dflt", 5},
    };
    test::TestMachine machine;
    machine.MakeFolder("C:\\Package");
    SimMachine& sim = machine.Load();
    for (const ScanStep& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.write) machine.WriteFile(step.file, *step.write);
        if (step.remove) std::filesystem::remove(machine.HostPath(step.file));
        EXPECT_EQ(sim.platform().profile.GetString(L"S", step.key, L"dflt", 500, Utf8ToUtf16(step.file)),
                  step.expected);
        EXPECT_EQ(sim.SettingsFileScans(), step.scansAfter);
    }
}

// A whole run reads dozens of values of the package's settings file, the
// numbered keys of [Run] one by one up to the first missing, and scans the
// file once.
TEST(SimSettingsScan, ARunScansTheSettingsFileOnce) {
    constexpr int kPrograms = 40;
    test::SettingsFile settings = test::SettingsFile::Basic();
    for (int i = 1; i <= kPrograms; ++i) settings.Set("Run", std::to_string(i), "C:\\Package\\setup\\step.exe");
    test::StandardMachine machine(settings);
    machine.WriteFile("C:\\Package\\setup\\step.exe", "program");
    machine.config()["programs"]["C:\\Package\\setup\\step.exe"] = {{"runSeconds", 1}, {"exitCode", 0}};
    machine.Run();
    EXPECT_EQ(machine.Events("processStart").size(), static_cast<std::size_t>(kPrograms));
    EXPECT_EQ(machine.Machine().SettingsFileScans(), 1u);
}

}  // namespace
}  // namespace zq::sim
