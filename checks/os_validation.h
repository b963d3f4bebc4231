// Whether one os_list entry describes the running Windows: version and
// service pack through the platform's version test, word size through the
// WOW64 flag.
#pragma once

#include "run/application.h"

namespace zq {

// The end of an os_list entry for 64-bit systems, compared exactly.
inline constexpr wchar_t kEntry64Suffix[] = L"_64";

// How many characters of an os_list entry make its OS number.
inline constexpr std::size_t kOsNumberChars = 3;
// The OS number of an os_list entry: its first three characters read as a
// decimal number ("501_64" gives 501, " 600" gives 60, "6001" gives 600).
unsigned OsNumberOfEntry(const WString& entry);
// 10064 when the entry ends in exactly kEntry64Suffix, else 10032.
int PlatformCodeOfEntry(const WString& entry);
// The version record asked for: 501 with 10064 is asked as 5.2.
VersionRequest VersionRequestFor(unsigned osNumber, int platformCode, int spMajor, int spMinor);

// Reads process.OsPlatformCode and process.fnIsWow64Process.
bool ValidateOS(LauncherProcess& process, unsigned osNumber, int spMajor, int spMinor);

}  // namespace zq
