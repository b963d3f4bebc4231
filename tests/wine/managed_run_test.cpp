// The real zqmerlesetup.exe in managed runs ("-quiet -norestart -result
// PATH"), as a deployment engine starts it: no window of any kind while it
// runs (the desktop's top-level windows are watched until it ends), the
// Windows Installer code through the process's real exit status, and the
// result file in place. The result files are left in C:\zqtest\managed-*
// for the schema check that ctest runs after this suite. The restart
// itself is never asked for here: every run has "-norestart", and a run
// that asked would end the prefix's processes, this test's among them.
#include <gtest/gtest.h>

#include <string>

#include "tests/wine/ui_driver.h"
#include "tests/wine/ui_package.h"
#include "tests/wine/wine_test_support.h"

namespace zq::uitest {
namespace {

const wchar_t kKeyword[] = L"ZQ Merle Managed 5400";
// Fits the 64-bit Windows 7 and the 32-bit XP of the prefixes.
const wchar_t kOsList[] = L"501,601_64";

struct WatchedRun {
    DWORD exitCode = ~0u;
    std::vector<std::wstring> windowsSeen;  // visible top-level windows of the launcher, by title
};

BOOL CALLBACK CollectVisibleWindow(HWND window, LPARAM context) {
    auto* run = reinterpret_cast<std::pair<DWORD, WatchedRun*>*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == run->first && ::IsWindowVisible(window)) run->second->windowsSeen.push_back(WindowText(window));
    return TRUE;
}

// Starts the launcher in the package folder and watches the desktop until
// it ends: a window shown even for a moment is caught on the next look.
WatchedRun RunWatched(const std::wstring& commandLine, const std::wstring& folder) {
    WatchedRun run;
    Process launcher(commandLine, folder);
    if (!launcher.Started()) return run;
    std::pair<DWORD, WatchedRun*> context{launcher.Id(), &run};
    for (int looks = 0; looks < 3000; ++looks) {
        ::EnumWindows(CollectVisibleWindow, reinterpret_cast<LPARAM>(&context));
        const DWORD status = launcher.WaitForExit(20);
        if (status != ~0u) {
            run.exitCode = status;
            break;
        }
    }
    return run;
}

struct Case {
    const wchar_t* name;
    std::wstring osList;
    bool driverInstalled;
    int programExit;
    bool resultFolderExists;
    DWORD expectedExit;
    const char* expectedInResult;  // a line of the result file, or null when there is none
    const char* expectedInLog;
};

TEST(ManagedRun, EachEndGivesItsCodeWithoutAWindow) {
    const Case cases[] = {
        {L"completed", kOsList, true, 0, true, 3010, R"("outcome": "pending")", "Call CreateProcess with"},
        {L"program-failed", kOsList, true, 5, true, 1603, R"("outcome": "failed")", "Call CreateProcess with"},
        {L"program-restarted", kOsList, true, 1641, true, 1641, R"("restartStarted": true)", "Call CreateProcess with"},
        {L"unsupported", L"400", true, 0, true, 1633, R"("outcome": "unsupported")", "## Message 1 : "},
        {L"no-driver", kOsList, false, 0, true, 1605, R"("outcome": "nodriver")", "## Message 8 : "},
        {L"no-result-folder", kOsList, true, 0, false, 1622, nullptr, "## Result file not written : "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        const std::wstring folder = test::FreshTestFolder(std::wstring(L"managed-") + c.name);
        std::optional<InstalledOemInf> inf;
        if (c.driverInstalled) inf.emplace(L"oem97.inf", kKeyword);
        const std::wstring settings = WritePackage(folder, {c.osList, kKeyword, {ChildExits(c.programExit)}});
        const std::wstring resultPath =
            c.resultFolderExists ? folder + L"\\result.json" : folder + L"\\missing\\result.json";

        test::ScopedEnvironmentVariable temp(L"TEMP", folder);
        const std::wstring commandLine =
            LauncherCommandLine(settings) + L" -quiet -norestart -result \"" + resultPath + L"\"";
        const WatchedRun run = RunWatched(commandLine, folder);

        EXPECT_EQ(run.exitCode, c.expectedExit);
        EXPECT_TRUE(run.windowsSeen.empty()) << "a window showed: " << Narrow(run.windowsSeen.front());
        const std::string log = NewestLog(folder);
        EXPECT_NE(log.find(c.expectedInLog), std::string::npos) << log;
        if (c.expectedInResult == nullptr) {
            EXPECT_EQ(::GetFileAttributesW(resultPath.c_str()), INVALID_FILE_ATTRIBUTES);
            continue;
        }
        const std::string result = test::ReadFileBytes(resultPath);
        EXPECT_NE(result.find("\"exitCode\": " + std::to_string(c.expectedExit)), std::string::npos) << result;
        EXPECT_NE(result.find(c.expectedInResult), std::string::npos) << result;
        EXPECT_NE(result.find(R"("noRestart": true)"), std::string::npos) << result;
    }
}

// A second launcher while the first one runs: the single-instance test
// refuses it with 1618, which engines answer by trying again later.
TEST(ManagedRun, SecondInstanceGivesAnotherInstallationRunning) {
    const std::wstring folder = test::FreshTestFolder(L"managed-second-instance");
    InstalledOemInf inf(L"oem97.inf", kKeyword);
    const std::wstring release = L"zq-managed-release-" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring settings =
        WritePackage(folder, {kOsList, kKeyword, {L"\"" + test::kTestChildPath + L"\" wait-event " + release}});
    test::ScopedEnvironmentVariable temp(L"TEMP", folder);

    HANDLE releaseEvent = ::CreateEventW(nullptr, TRUE, FALSE, release.c_str());
    ASSERT_NE(releaseEvent, nullptr);
    Process first(LauncherCommandLine(settings) + L" -quiet -norestart", folder);
    ASSERT_TRUE(first.Started());
    // The first one holds the instance mutex once it starts its program.
    ASSERT_TRUE(WaitUntil([&] { return NewestLog(folder).find("Call CreateProcess with") != std::string::npos; }));

    const WatchedRun second = RunWatched(
        LauncherCommandLine(settings) + L" -quiet -norestart -result \"" + folder + L"\\second.json\"", folder);
    ::SetEvent(releaseEvent);
    ::CloseHandle(releaseEvent);
    EXPECT_EQ(second.exitCode, 1618u);
    EXPECT_TRUE(second.windowsSeen.empty());
    EXPECT_NE(test::ReadFileBytes(folder + L"\\second.json").find(R"("outcome": "busy")"), std::string::npos);
    EXPECT_NE(NewestLog(folder).find("## Mutex exist"), std::string::npos);
    EXPECT_EQ(first.WaitForExit(), 3010u);
}

}  // namespace
}  // namespace zq::uitest
