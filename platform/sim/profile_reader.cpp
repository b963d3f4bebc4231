#include "platform/sim/profile_reader.h"

#include "platform/sim/ansi_code_page.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace zq::sim {

namespace {

// The blanks that the file's names and values lose at either end.
bool IsProfileBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v'; }

WStringView TrimProfileBlanks(WStringView text) {
    while (!text.empty() && IsProfileBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsProfileBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The section and key arguments lose only spaces; a tab in them must match.
WStringView TrimSpaces(WStringView text) {
    while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
    return text;
}

bool IsLineEnd(wchar_t c) { return c == L'\r' || c == L'\n'; }

// A header line starts with '['. The name runs to the first ']', or to the
// end of the line when there is none; whatever follows the ']' is ignored.
std::optional<WStringView> HeaderName(WStringView line) {
    if (line.empty() || line.front() != L'[') return std::nullopt;
    WStringView name = line.substr(1);
    name = name.substr(0, name.find(L']'));
    return TrimProfileBlanks(name);
}

struct ProfileEntry {
    WStringView key;
    WStringView value;
};

// A key line holds '='; the key is what comes before the first one.
std::optional<ProfileEntry> Entry(WStringView line) {
    const std::size_t equals = line.find(L'=');
    if (equals == WStringView::npos) return std::nullopt;
    return ProfileEntry{TrimProfileBlanks(line.substr(0, equals)), TrimProfileBlanks(line.substr(equals + 1))};
}

// One matching pair of outer quotes goes, after trimming: "  a  " gives
// "  a  " without its quotes, while "x', "abc and a lone " stay as they are.
WStringView Unquote(WStringView value) {
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// The caller's buffer holds bufferChars - 1 characters and the NUL; it reads
// the result as a string, so an embedded NUL ends it too.
WString FitToBuffer(WStringView text, std::size_t bufferChars) {
    text = text.substr(0, text.find(L'\0'));
    if (bufferChars == 0) return {};
    return WString(text.substr(0, bufferChars - 1));
}

// The value as the file spells it, or nothing when the section or key is
// missing. Only the first section of the wanted name is searched: its keys
// end at the next header, even when a later header repeats the name.
std::optional<WString> FindValue(WStringView text, WStringView section, WStringView key) {
    bool inWantedSection = false;
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        std::size_t lineEnd = lineStart;
        while (lineEnd < text.size() && !IsLineEnd(text[lineEnd])) ++lineEnd;
        const WStringView line = TrimProfileBlanks(text.substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;

        if (line.empty() || line.front() == L';') continue;
        if (const auto name = HeaderName(line)) {
            if (inWantedSection) return std::nullopt;
            inWantedSection = EqualsIgnoringAsciiCase(*name, section);
            continue;
        }
        if (!inWantedSection) continue;
        if (const auto entry = Entry(line); entry && EqualsIgnoringAsciiCase(entry->key, key))
            return WString(Unquote(entry->value));
    }
    return std::nullopt;
}

}  // namespace

WString ProfileDefault(const WString& defaultValue, std::size_t bufferChars) {
    WStringView text = defaultValue;
    while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
    return FitToBuffer(text, bufferChars);
}

WString ReadProfileString(const std::string& fileBytes, const WString& section, const WString& key,
                          const WString& defaultValue, std::size_t bufferChars, unsigned codePage) {
    // Windows reads a file as Unicode only when it starts with the UTF-16LE
    // byte-order mark; every other file is text in the system's ANSI code
    // page, so UTF-8 and UTF-16BE marks are just more ANSI bytes.
    const WString text = DecodeProfileFileText(fileBytes, codePage);
    const auto value = FindValue(text, TrimSpaces(section), TrimSpaces(key));
    if (!value) return ProfileDefault(defaultValue, bufferChars);
    return FitToBuffer(*value, bufferChars);
}

}  // namespace zq::sim
