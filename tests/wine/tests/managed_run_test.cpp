// The real zqmerlesetup.exe in managed runs ("-quiet -norestart -result
// PATH"), as a deployment engine starts it: no window of any kind while it
// runs (the desktop's top-level windows are watched until it ends), the
// Windows Installer code through the process's real exit status, and the
// result file in place. The result files stay in C:\zqtest\managed-* for
// the schema check that ctest runs after this suite. Every run has
// "-norestart": a run that asked for the restart would end the prefix's
// processes, this test's among them.
#include <gtest/gtest.h>

#include "tests/wine/support/ui_driver.h"

namespace zq::test {
namespace {

const wchar_t kKeyword[] = L"ZQ Merle Managed 5400";
const wchar_t kOsList[] = L"501,601_64";  // the 64-bit Windows 7 and the 32-bit XP of the prefixes

struct WatchedRun {
    DWORD exitCode = ~0u;
    std::vector<std::wstring> windowsSeen;  // visible top-level windows of the launcher, by title
};

// Watches the desktop until the launcher ends: a window shown even for a
// moment is caught on the next look.
WatchedRun RunWatched(const PackageRun& package, const WString& switches) {
    WatchedRun run;
    StartedProgram launcher = package.Start(switches);
    for (int looks = 0; looks < 3000 && launcher.IsStarted() && run.exitCode == ~0u; ++looks) {
        for (HWND window : VisibleWindows(launcher.Pid())) run.windowsSeen.push_back(WindowText(window));
        run.exitCode = launcher.WaitForExit(20);
    }
    return run;
}

TEST(ManagedRun, EachEndGivesItsCodeWithoutAWindow) {
    const struct {
        const wchar_t* name;
        const wchar_t* osList;
        bool driverInstalled;
        int programExit;
        bool resultFolderExists;
        DWORD expectedExit;
        const char* expectedInResult;  // a line of the result file, or null when there is none
    } cases[] = {
        {L"completed", kOsList, true, 0, true, 3010, R"("outcome": "pending")"},
        {L"program-failed", kOsList, true, 5, true, 1603, R"("outcome": "failed")"},
        {L"program-restarted", kOsList, true, 1641, true, 1641, R"("restartStarted": true)"},
        {L"unsupported", L"400", true, 0, true, 1633, R"("outcome": "unsupported")"},
        {L"no-driver", kOsList, false, 0, true, 1605, R"("outcome": "nodriver")"},
        {L"no-result-folder", kOsList, true, 0, false, 1622, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.name));
        PackageRun package(WString(L"managed-") + c.name, {c.osList, kKeyword, {ChildExits(c.programExit)}},
                           c.driverInstalled ? kKeyword : L"");
        const WString result = package.folder() + (c.resultFolderExists ? L"" : L"\\missing") + L"\\result.json";
        const WatchedRun run = RunWatched(package, L" -quiet -norestart -result \"" + result + L"\"");

        EXPECT_EQ(run.exitCode, c.expectedExit);
        EXPECT_TRUE(run.windowsSeen.empty()) << "a window showed: " << Utf16ToUtf8(run.windowsSeen.front());
        if (c.expectedInResult == nullptr) {
            EXPECT_FALSE(Exists(result));
            continue;
        }
        const std::string written = ReadFileBytes(result);
        for (const std::string& line : {"\"exitCode\": " + std::to_string(c.expectedExit),
                                        std::string(c.expectedInResult), std::string(R"("noRestart": true)")})
            EXPECT_NE(written.find(line), std::string::npos) << line << "\n" << written;
    }
}

// A second launcher while the first one runs: the single-instance test
// refuses it with 1618, which engines answer by trying again later.
TEST(ManagedRun, SecondInstanceGivesAnotherInstallationRunning) {
    const WString release = L"zq-managed-release-" + std::to_wstring(::GetCurrentProcessId());
    win32::ScopedHandle releaseEvent(::CreateEventW(nullptr, TRUE, FALSE, release.c_str()));
    ASSERT_TRUE(releaseEvent);
    PackageRun package(L"managed-second-instance", {kOsList, kKeyword, {WaitingProgram(kTestChildPath, release)}},
                       kKeyword);
    StartedProgram first = package.Start(L" -quiet -norestart");
    // The first one holds the instance mutex once it starts its program.
    ASSERT_TRUE(WaitUntil([&] { return package.Log().find("Call CreateProcess with") != std::string::npos; }));

    const WatchedRun second =
        RunWatched(package, L" -quiet -norestart -result \"" + package.folder() + L"\\second.json\"");
    ::SetEvent(releaseEvent.Get());
    EXPECT_EQ(second.exitCode, 1618u);
    EXPECT_TRUE(second.windowsSeen.empty());
    EXPECT_NE(ReadFileBytes(package.folder() + L"\\second.json").find(R"("outcome": "busy")"), std::string::npos);
    EXPECT_EQ(first.WaitForExit(), 3010u);
}

}  // namespace
}  // namespace zq::test
