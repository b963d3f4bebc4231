// Packages for the runs of the real zqmerlesetup.exe that show windows: a
// settings file in a fresh folder of the prefix, and an installed driver
// set-up file (an oem*.inf of the Windows folder) that the launcher's
// driver check finds.
#pragma once

#include <string>
#include <vector>

namespace zq::uitest {

// The package's texts 1 to 8 (index 0 unused), in US English.
extern const std::wstring kTexts[9];

struct PackageSettings {
    std::wstring osList;
    std::wstring keyword;                       // CPE.MagicKeywords 1
    std::vector<std::wstring> programs;         // Run (and Run.x64 when programs64 is empty), in order
    std::vector<std::wstring> programs64 = {};  // Run.x64, when it differs
};

// Writes <folder>\autorun.inf (ANSI, CR LF, log level 511) and returns its
// path.
std::wstring WritePackage(const std::wstring& folder, const PackageSettings& settings);

// <Windows>\inf\<name>, UTF-16LE with its byte-order mark, holding the
// keyword in a driver description; removed again when the object goes.
class InstalledOemInf {
public:
    InstalledOemInf(const std::wstring& name, const std::wstring& keyword);
    ~InstalledOemInf();
    InstalledOemInf(const InstalledOemInf&) = delete;
    InstalledOemInf& operator=(const InstalledOemInf&) = delete;

private:
    std::wstring path_;
};

// A package program: zq_test_child.exe, ending at once with `status`.
std::wstring ChildExits(int status);

// The launcher's command line for the package, its TEMP set by the caller.
std::wstring LauncherCommandLine(const std::wstring& settingsPath);

// The text of the newest log file in the folder (zqmerlesetupNNN.log).
std::string NewestLog(const std::wstring& folder);

}  // namespace zq::uitest
