// File-name matching as FindFirstFileW does it on a volume with 8.3 names.
//
// A pattern such as "oem*.inf" is matched against an entry's long name and,
// when the entry has one, against its short (8.3) name as well: on such a
// volume "oem4.infx" (short name OEM4~1.INF) and "oem8.inf~" (OEM8~1.INF)
// are listed for "oem*.inf", while "oem3.inf.bak" (OEM3IN~1.BAK) and
// "oem5.in" (an 8.3 name of its own, so no separate short name) are not.
#pragma once

#include "platform/platform.h"

#include <string_view>
#include <vector>

namespace zq::sim {

// Case folding for file names: ASCII and Latin-1 letters to upper case.
wchar_t FoldNameChar(wchar_t c);
WString FoldName(std::wstring_view name);
bool NamesEqual(std::wstring_view a, std::wstring_view b);
// Ordering of a listing: by the upper-cased names, as NTFS keeps them.
bool NameLess(std::wstring_view a, std::wstring_view b);

// '*' matches any run of characters (also none), '?' exactly one; every
// other character matches itself without regard to case. "*.*" matches
// every name, with or without a dot.
bool MatchesWildcard(std::wstring_view pattern, std::wstring_view name);

// Whether the name is a valid 8.3 name by itself (such an entry has no
// separate short name): 1 to 8 characters, optionally a dot and 1 to 3
// more, only characters allowed in short names.
bool IsShortNameValid(std::wstring_view name);
// Whether the volume generates a short name for the entry: it is neither a
// valid 8.3 name itself nor "." or "..".
bool HasShortName(std::wstring_view longName);

// The short name that the volume generates for a long name, with the given
// numeric tail: up to six characters of the base (the name before its last
// dot, with blanks and dots removed), "~" and the tail, then a dot and the
// first three characters of the extension. Empty when the name is a valid
// 8.3 name itself.
WString MakeShortName(std::wstring_view longName, int tail = 1);
// The short name that the volume gives a long name once the tails ~1 to ~4
// of MakeShortName are taken, as NTFS does: the first two characters of the
// base, four hex digits of a hash of the long name, "~" and the tail, then
// the extension ("oem1234.infx" gives OEnnnn~1.INF). Empty when the name is
// a valid 8.3 name itself.
WString MakeHashedShortName(std::wstring_view longName, int tail = 1);

// The short names that a volume holds for the entries of one folder, given
// in listing order (empty for a name that is a valid 8.3 name itself). An
// entry's short name depends on the folder's 8.3 names and on the entries
// before it only, so a caller may pass the first entries alone: "oem4.infx"
// and "oem4.infy" become OEM4~1.INF and OEM4~2.INF. A fifth name of the same
// start gets MakeHashedShortName's, the lowest free tail of it.
std::vector<WString> FolderShortNames(const std::vector<WString>& namesInListingOrder);

// The listing's test for one entry.
bool MatchesFindPattern(std::wstring_view pattern, std::wstring_view longName, std::wstring_view shortName);

}  // namespace zq::sim
