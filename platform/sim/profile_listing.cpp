#include "platform/sim/profile_listing.h"

#include "platform/sim/ansi_code_page.h"

namespace zq::sim {

namespace {

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

ProfileListing ListProfile(const std::string& fileBytes, unsigned codePage) {
    ProfileListing listing;
    listing.startsWithUtf8Mark = fileBytes.rfind("\xEF\xBB\xBF", 0) == 0;
    const WString text = DecodeProfileFileText(fileBytes, codePage);

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
