#include "platform/sim/profile_reader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zq::sim {

namespace {

// Code page 1252 from 0x80 to 0x9F. The five bytes that the code page leaves
// undefined (81, 8D, 8F, 90, 9D) become the control character of the same
// number, as MultiByteToWideChar does with Windows' own table; every other
// byte is its own code point.
constexpr std::array<char16_t, 32> kCp1252From80 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

WString DecodeCp1252(std::string_view bytes) {
    WString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte <= 0x9F)
            text.push_back(static_cast<wchar_t>(kCp1252From80[byte - 0x80]));
        else
            text.push_back(static_cast<wchar_t>(byte));
    }
    return text;
}

// Windows reads a file as Unicode only when it starts with the UTF-16LE
// byte-order mark; every other file is ANSI text, and the machine's ANSI code
// page is 1252. UTF-8 and UTF-16BE marks are therefore just more 1252 bytes.
WString DecodeProfileText(const std::string& fileBytes) {
    const bool isUtf16Le = fileBytes.size() >= 2 && static_cast<unsigned char>(fileBytes[0]) == 0xFF &&
                           static_cast<unsigned char>(fileBytes[1]) == 0xFE;
    if (isUtf16Le)
        return Utf16LeBytesToString(reinterpret_cast<const std::uint8_t*>(fileBytes.data()) + 2,
                                    fileBytes.size() - 2);
    return DecodeCp1252(fileBytes);
}

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
                          const WString& defaultValue, std::size_t bufferChars) {
    const WString text = DecodeProfileText(fileBytes);
    const auto value = FindValue(text, TrimSpaces(section), TrimSpaces(key));
    if (!value) return ProfileDefault(defaultValue, bufferChars);
    return FitToBuffer(*value, bufferChars);
}

}  // namespace zq::sim
