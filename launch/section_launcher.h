// Runs the package: the section of programs for the system's word size,
// one program after the other, then the uninstall data-file refresh and
// the finish screen.
#pragma once

#include <optional>

#include "run/application.h"

namespace zq {

inline constexpr wchar_t kUninstallKeyPrefix[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// The largest UninstallString read, in bytes (250 UTF-16 code units with
// the terminator).
inline constexpr std::size_t kUninstallStringBytes = 500;

// The section of programs: "Run", and "Run.x64" for 64-bit entries.
inline constexpr wchar_t kProgramSection[] = L"Run";
inline constexpr wchar_t kProgramSection64Suffix[] = L".x64";
// The section whose programs run after an entry of this platform code
// passed; empty for a code that is neither (then no program runs).
WString ProgramSectionFor(int platformCode);

// The uninstall string's markers, both compared exactly.
inline constexpr wchar_t kCleanupProgramMarker[] = L"zqclean";
inline constexpr wchar_t kDataFileSwitch[] = L"-datfile";

bool DropMain(LauncherProcess& process);
bool RunSectionExe(LauncherProcess& process, const WString& suffix);
void RefreshUninstallDataFile(LauncherProcess& process);
// The last step of the section: the finish screen, whose Finish restarts the
// computer unless its box is ticked. "-norestart" shows the box ticked and
// disabled; "-quiet" shows nothing and restarts at once unless
// "-norestart" is given too.
void ShowFinishScreen(LauncherProcess& process);

// Where the clean-up program's data file is copied from and to, for an
// UninstallString such as C:\Prog\Clean\zqclean.exe -datfile pkg.dat
// (setup\pkg.dat to C:\Prog\Clean\pkg.dat). nullopt when nothing is copied.
struct DataFileCopy {
    WString from, to;
};
std::optional<DataFileCopy> DataFileCopyFor(const WString& uninstallString);

}  // namespace zq
