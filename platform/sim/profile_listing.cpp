#include "platform/sim/profile_listing.h"

#include <array>
#include <cstdint>

namespace zq::sim {

namespace {

// Code page 1252 from 0x80 to 0x9F, as profile_reader.cpp decodes it (the
// five undefined bytes become the control character of the same number).
constexpr std::array<char16_t, 32> kCp1252From80 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

WString DecodeText(const std::string& bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        return Utf16LeBytesToString(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2, bytes.size() - 2);
    }
    WString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.push_back(byte >= 0x80 && byte <= 0x9F ? static_cast<wchar_t>(kCp1252From80[byte - 0x80])
                                                    : static_cast<wchar_t>(byte));
    }
    return text;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v'; }

WStringView Trim(WStringView text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

WStringView Unquote(WStringView value) {
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// A value is read up to an embedded NUL, as the caller's buffer shows it.
WString UpToNul(WStringView text) { return WString(text.substr(0, text.find(L'\0'))); }

}  // namespace

const ProfileSectionLines* ProfileListing::Find(WStringView name) const {
    for (const ProfileSectionLines& section : sections) {
        if (!section.shadowed && EqualsIgnoringAsciiCase(section.name, Trim(name))) return &section;
    }
    return nullptr;
}

ProfileListing ListProfile(const std::string& fileBytes) {
    ProfileListing listing;
    listing.startsWithUtf8Mark = fileBytes.rfind("\xEF\xBB\xBF", 0) == 0;
    const WString text = DecodeText(fileBytes);

    ProfileSectionLines* current = nullptr;
    int lineNumber = 0;
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        std::size_t lineEnd = lineStart;
        while (lineEnd < text.size() && text[lineEnd] != L'\r' && text[lineEnd] != L'\n') ++lineEnd;
        ++lineNumber;
        const WStringView line = Trim(WStringView(text).substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;
        // For numbering only: CR LF ends one line (the reader sees an empty line between).
        if (lineEnd + 1 < text.size() && text[lineEnd] == L'\r' && text[lineEnd + 1] == L'\n') ++lineStart;

        if (line.empty() || line.front() == L';') continue;
        if (line.front() == L'[') {
            WStringView name = line.substr(1);
            name = Trim(name.substr(0, name.find(L']')));
            const bool shadowed = listing.Find(name) != nullptr;
            listing.sections.push_back({WString(name), lineNumber, shadowed, {}});
            current = &listing.sections.back();
            continue;
        }
        const std::size_t equals = line.find(L'=');
        if (equals == WStringView::npos) continue;
        ProfileKeyLine key{WString(Trim(line.substr(0, equals))), UpToNul(Unquote(Trim(line.substr(equals + 1)))),
                           lineNumber, false};
        std::vector<ProfileKeyLine>& keys = current ? current->keys : listing.keysBeforeFirstSection;
        for (const ProfileKeyLine& earlier : keys) {
            if (EqualsIgnoringAsciiCase(earlier.key, key.key)) key.shadowed = true;
        }
        keys.push_back(std::move(key));
    }
    return listing;
}

}  // namespace zq::sim
