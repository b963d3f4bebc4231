#include "platform/sim/wildcard.h"

#include <algorithm>

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
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return FoldNameChar(x) == FoldNameChar(y); });
}

bool NameLess(std::wstring_view a, std::wstring_view b) {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
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
        } else if (p < pattern.size() &&
                   (pattern[p] == L'?' || FoldNameChar(pattern[p]) == FoldNameChar(name[n]))) {
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
wchar_t ShortNameCharFor(wchar_t c) {
    return IsShortNameChar(c) ? FoldNameChar(c) : L'_';
}

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

WString MakeShortName(std::wstring_view longName, int tail) {
    if (!HasShortName(longName)) return {};
    std::size_t lastDot = longName.rfind(L'.');
    // A leading dot does not start an extension (".profile").
    if (lastDot == 0) lastDot = std::wstring_view::npos;
    std::wstring_view basePart = longName.substr(0, lastDot);
    std::wstring_view extPart =
        lastDot == std::wstring_view::npos ? std::wstring_view() : longName.substr(lastDot + 1);

    WString base;
    for (wchar_t c : basePart) {
        if (c == L' ' || c == L'.') continue;
        base.push_back(ShortNameCharFor(c));
    }
    WString ext;
    for (wchar_t c : extPart) {
        if (c == L' ' || c == L'.') continue;
        if (ext.size() == 3) break;
        ext.push_back(ShortNameCharFor(c));
    }
    WString tailText = L"~" + std::to_wstring(tail);
    std::size_t keep = 8 - std::min<std::size_t>(tailText.size(), 7);
    keep = std::min(keep, std::size_t{6});
    if (base.size() > keep) base.resize(keep);
    WString shortName = base + tailText;
    if (!ext.empty()) shortName += L"." + ext;
    return shortName;
}

bool MatchesFindPattern(std::wstring_view pattern, std::wstring_view longName, std::wstring_view shortName) {
    if (longName == L"." || longName == L"..") return false;
    if (MatchesWildcard(pattern, longName)) return true;
    return !shortName.empty() && MatchesWildcard(pattern, shortName);
}

}  // namespace zq::sim
