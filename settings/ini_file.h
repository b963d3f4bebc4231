// The package's settings file (autorun.inf beside the program, or "-f").
//
// An INI file, read with the platform's profile-string rules and never
// written. By example:
//
//   [Version]
//   Log=127                        ; 1, 127 or 511
//
//   [OS_Support]
//   os_list=501,502_64,600_64      ; major*100+minor, "_64" for 64-bit systems
//   ServicePack_MajorVersion=2     ; minimum service pack for every entry...
//   [OS_Support.501]
//   ServicePack_MajorVersion=3     ; ...unless the entry's own section says
//
//   [CPE.MagicKeywords]            ; the installed driver's .inf holds one
//   1=ZQ Merle 5400
//
//   [Run]                          ; programs for 32-bit entries, in order;
//   1=%sourcepath%setup\zqprep.exe ; Run.x64 for "_64" entries
//   2=%sourcepath%setup\zqstage.exe /copy
//   [Run.501]                      ; per-entry override of single keys
//   2=%sourcepath%setup\zqstage.exe /copy /xp
//
//   [UpdateDrivers]                ; printers to re-create ("lanpatch.exe")
//   1=ZQ Merle 5400 Series
//
//   [LangMap]                      ; user language (4 lower-case hex digits)
//   0x0409=English                 ;   -> section of numbered texts
//   [English]
//   1=This package does not support this version of Windows.
//
// Numbered lists are the keys 1, 2, 3 ... and end at the first missing
// number. "%sourcepath%" stands for the current folder at the time of the
// read: every occurrence becomes '"' + folder + '\', and one closing '"'
// is appended to the value.
#pragma once

#include <vector>

#include "log/log_file.h"
#include "platform/platform.h"

namespace zq {

// What a failed read leaves in the caller's string.
inline constexpr wchar_t kReadFailed[] = L"<READ_FAILED>";
// The profile read's buffer: values are cut to 499 characters.
inline constexpr std::size_t kSettingsValueBuffer = 500;

// The package-folder placeholder, recognised in lower case only.
inline constexpr wchar_t kSourcePath[] = L"%sourcepath%";
// The "%sourcepath%" substitution, apart from the read.
WString ResolveSourcePath(const WString& value, const WString& currentFolder);

class CIniFile {
public:
    CIniFile(Platform& platform, CLogFile& log, WString path = {});

    bool ReadStrValue(const WString& section, const WString& key, WString& value);
    int GetNoOfKeys(const WString& section);

    const WString& Path() const { return path_; }
    void SetPath(const WString& path) { path_ = path; }

    Platform& platform() { return platform_; }
    CLogFile& log() { return log_; }

private:
    Platform& platform_;
    CLogFile& log_;
    WString path_;
};

// The section that overrides `section` on the system of an os_list entry:
// section + "." + entry ("Run.501", "OS_Support.600_64").
WString OverrideSectionName(const WString& section, const WString& osEntry);

// Entries 1..count of section's numbered list, each from the override
// section (OverrideSectionName) when it has the key there.
// Reads the process-wide settings object.
void GetKeyValues(CIniFile& g_iniFile, const WString& currentOsEntry, const WString& section,
                  std::vector<WString>& values, int count);

}  // namespace zq
