// Whether the driver that the package refreshes is installed: one of the
// settings file's magic keywords occurs in one of the Windows folder's
// inf\oem*.inf files, read as UTF-16LE text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "run/application.h"

namespace zq {

// Whether a keyword occurs in the file's bytes taken as UTF-16LE text (first
// byte low; an odd last byte takes no part; the text ends at its first NUL).
// Exact and case-sensitive. Returns the index of the first keyword of the
// list that occurs, or -1.
int FindFirstKeyword(const std::uint8_t* bytes, std::size_t size, const std::vector<WString>& keywords);

// Files up to this size are read whole, with one read; a larger file is
// read and searched a piece of this size at a time, so the search holds at
// most one piece (and the overlap) in memory whatever the files hold: a
// 32-bit process may find no free block of hundreds of megabytes.
inline constexpr std::size_t kInfWholeReadLimit = std::size_t{4} * 1024 * 1024;

// FindFirstKeyword's answer, found the way a file larger than
// kInfWholeReadLimit is searched: the bytes taken `pieceBytes` at a time.
int FindFirstKeywordInPieces(const std::uint8_t* bytes, std::size_t size, const std::vector<WString>& keywords,
                             std::size_t pieceBytes);

bool EnumMagicKeywords(LauncherProcess& process);
bool FindInstalledDriver(LauncherProcess& process);
bool SearchInfFile(LauncherProcess& process, const WString& path);

}  // namespace zq
