// Whether the driver that the package refreshes is installed: one of the
// settings file's magic keywords occurs in one of the Windows folder's
// inf\oem*.inf files, read as UTF-16LE text.
#pragma once

#include <vector>

#include "app/application.h"

namespace zq {

// Whether a keyword occurs in the file's bytes taken as UTF-16LE text (first
// byte low; an odd last byte takes no part; the text ends at its first NUL).
// Exact and case-sensitive. Returns the index of the first keyword of the
// list that occurs, or -1.
int FindFirstKeyword(const std::uint8_t* bytes, std::size_t size, const std::vector<WString>& keywords);

bool EnumMagicKeywords(LauncherProcess& process);
bool FindInstalledDriver(LauncherProcess& process);
bool SearchInfFile(LauncherProcess& process, const WString& path);

}  // namespace zq
