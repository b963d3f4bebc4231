#include "platform/sim/wildcard.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <cstdint>

namespace zq::sim {

wchar_t FoldNameChar(wchar_t c) {
    if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - L'a' + L'A');
    // Latin-1 small letters à..þ, except the division sign.
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<wchar_t>(c - 0x20);
    return c;
}

WString FoldName(std::wstring_view name) {
    WString folded(name);
    for (wchar_t& c : folded) c = FoldNameChar(c);
    return folded;
}

bool NamesEqual(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](wchar_t x, wchar_t y) { return FoldNameChar(x) == FoldNameChar(y); });
}

bool NameLess(std::wstring_view a, std::wstring_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](wchar_t x, wchar_t y) { return FoldNameChar(x) < FoldNameChar(y); });
}

bool MatchesWildcard(std::wstring_view pattern, std::wstring_view name) {
    if (pattern == L"*.*") return true;
    // Iterative glob with one back-tracking point: the last '*' seen.
    std::size_t p = 0, n = 0;
    std::size_t starP = std::wstring_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == L'?' || FoldNameChar(pattern[p]) == FoldNameChar(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::wstring_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

namespace {

bool IsShortNameChar(wchar_t c) {
    if (c >= L'A' && c <= L'Z') return true;
    if (c >= L'a' && c <= L'z') return true;
    if (c >= L'0' && c <= L'9') return true;
    return std::wstring_view(L"!#$%&'()-@^_`{}~").find(c) != std::wstring_view::npos;
}

// A character of the long name as it goes into the short name: upper case,
// and '_' for one that a short name cannot hold.
wchar_t ShortNameCharFor(wchar_t c) { return IsShortNameChar(c) ? FoldNameChar(c) : L'_'; }

}  // namespace

bool IsShortNameValid(std::wstring_view name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    std::size_t dot = name.find(L'.');
    std::wstring_view base = name.substr(0, dot);
    std::wstring_view ext = dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
    if (dot != std::wstring_view::npos && ext.empty()) return false;
    return std::all_of(base.begin(), base.end(), IsShortNameChar) &&
           std::all_of(ext.begin(), ext.end(), IsShortNameChar);
}

bool HasShortName(std::wstring_view longName) {
    return !IsShortNameValid(longName) && longName != L"." && longName != L"..";
}

namespace {

// The long name's characters as a short name takes them: the base (up to
// the last dot, with blanks and dots removed) and up to three characters of
// the extension, upper case, '_' for a character a short name cannot hold.
struct ShortNameParts {
    WString base;
    WString ext;
};

ShortNameParts PartsOf(std::wstring_view longName) {
    std::size_t lastDot = longName.rfind(L'.');
    // A leading dot does not start an extension (".profile").
    if (lastDot == 0) lastDot = std::wstring_view::npos;
    std::wstring_view basePart = longName.substr(0, lastDot);
    std::wstring_view extPart = lastDot == std::wstring_view::npos ? std::wstring_view() : longName.substr(lastDot + 1);
    ShortNameParts parts;
    for (wchar_t c : basePart) {
        if (c == L' ' || c == L'.') continue;
        parts.base.push_back(ShortNameCharFor(c));
    }
    for (wchar_t c : extPart) {
        if (c == L' ' || c == L'.') continue;
        if (parts.ext.size() == 3) break;
        parts.ext.push_back(ShortNameCharFor(c));
    }
    return parts;
}

// BASE~TAIL.EXT, the base cut so that it and the tail fit in eight
// characters, to six at the most.
WString Assemble(WString base, const WString& ext, int tail) {
    const WString tailText = L"~" + std::to_wstring(tail);
    std::size_t keep = 8 - std::min<std::size_t>(tailText.size(), 7);
    keep = std::min(keep, std::size_t{6});
    if (base.size() > keep) base.resize(keep);
    WString shortName = base + tailText;
    if (!ext.empty()) shortName += L"." + ext;
    return shortName;
}

// A 16-bit hash of the long name (FNV-1a over its upper-cased UTF-16 units,
// folded): the volume's own, not NTFS's, which nothing may rely on anyway.
unsigned NameHash(std::wstring_view longName) {
    std::uint32_t hash = 2166136261u;
    for (wchar_t c : longName) {
        const std::uint32_t unit = static_cast<std::uint16_t>(FoldNameChar(c));
        hash = (hash ^ (unit & 0xFF)) * 16777619u;
        hash = (hash ^ (unit >> 8)) * 16777619u;
    }
    return (hash ^ (hash >> 16)) & 0xFFFF;
}

}  // namespace

WString MakeShortName(std::wstring_view longName, int tail) {
    if (!HasShortName(longName)) return {};
    ShortNameParts parts = PartsOf(longName);
    return Assemble(std::move(parts.base), parts.ext, tail);
}

WString MakeHashedShortName(std::wstring_view longName, int tail) {
    if (!HasShortName(longName)) return {};
    ShortNameParts parts = PartsOf(longName);
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    const unsigned hash = NameHash(longName);
    WString base = parts.base.substr(0, 2);
    for (int shift = 12; shift >= 0; shift -= 4) base.push_back(kHex[(hash >> shift) & 0xF]);
    return Assemble(std::move(base), parts.ext, tail);
}

// Only the tails ~1 to ~4 are tried, as on NTFS; from the fifth name of the
// same start on, the name is made from a hash of the long name, which rarely
// meets another, so that thousands of alike names cost no more than a few.
std::vector<WString> FolderShortNames(const std::vector<WString>& names) {
    constexpr int kNumberedTails = 4;
    std::unordered_set<WString> used;
    for (const WString& name : names) {
        if (IsShortNameValid(name)) used.insert(FoldName(name));
    }
    // Per hashed name with the tail ~1, the first tail that may still be free:
    // every lower one is taken, even for names made to meet on the hash.
    std::unordered_map<WString, int> nextHashedTail;
    std::vector<WString> shortNames;
    shortNames.reserve(names.size());
    for (const WString& name : names) {
        WString shortName;
        if (HasShortName(name)) {
            for (int tail = 1; tail <= kNumberedTails && shortName.empty(); ++tail) {
                WString numbered = MakeShortName(name, tail);
                if (used.insert(FoldName(numbered)).second) shortName = std::move(numbered);
            }
            if (shortName.empty()) {
                int& tail = nextHashedTail[FoldName(MakeHashedShortName(name, 1))];
                for (tail = std::max(tail, 1);; ++tail) {
                    WString hashed = MakeHashedShortName(name, tail);
                    if (used.insert(FoldName(hashed)).second) {
                        shortName = std::move(hashed);
                        break;
                    }
                }
            }
        }
        shortNames.push_back(std::move(shortName));
    }
    return shortNames;
}

bool MatchesFindPattern(std::wstring_view pattern, std::wstring_view longName, std::wstring_view shortName) {
    if (longName == L"." || longName == L"..") return false;
    if (MatchesWildcard(pattern, longName)) return true;
    return !shortName.empty() && MatchesWildcard(pattern, shortName);
}

}  // namespace zq::sim
