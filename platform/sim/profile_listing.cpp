#include "platform/sim/profile_listing.h"

#include "platform/sim/ansi_code_page.h"

namespace zq::sim {

namespace {

// The blanks that the file's names and values lose at either end.
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\v'; }

WStringView Trim(WStringView text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// One matching pair of outer quotes goes, after trimming: "  a  " gives
// "  a  " without its quotes, while "x', "abc and a lone " stay as they are.
WStringView Unquote(WStringView value) {
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// A value is read up to an embedded NUL, as the caller's buffer shows it.
WString UpToNul(WStringView text) { return WString(text.substr(0, text.find(L'\0'))); }

}  // namespace

const ProfileSectionLines* ProfileListing::Find(WStringView name) const { return FindExactly(Trim(name)); }

const ProfileSectionLines* ProfileListing::FindExactly(WStringView name) const {
    const auto found = sectionIndex.find(ToUpperAscii(name));
    return found == sectionIndex.end() ? nullptr : &sections[found->second];
}

const ProfileKeyLine* ProfileListing::FindKey(const ProfileSectionLines& section, WStringView key) {
    const auto found = section.keyIndex.find(ToUpperAscii(key));
    return found == section.keyIndex.end() ? nullptr : &section.keys[found->second];
}

ProfileListing ListProfile(const std::string& fileBytes, unsigned codePage) {
    ProfileListing listing;
    listing.startsWithUtf8Mark = fileBytes.rfind("\xEF\xBB\xBF", 0) == 0;
    // Windows reads a file as Unicode only when it starts with the UTF-16LE
    // byte-order mark; every other file is text in the system's ANSI code
    // page, so UTF-8 and UTF-16BE marks are just more ANSI bytes.
    const WString text = DecodeProfileFileText(fileBytes, codePage);

    ProfileSectionLines* current = nullptr;
    std::unordered_map<WString, std::size_t> keysBeforeFirstSection;
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
        // A header line starts with '['. The name runs to the first ']', or
        // to the end of the line when there is none; whatever follows the
        // ']' is ignored.
        if (line.front() == L'[') {
            WStringView name = line.substr(1);
            name = Trim(name.substr(0, name.find(L']')));
            const bool shadowed = !listing.sectionIndex.emplace(ToUpperAscii(name), listing.sections.size()).second;
            listing.sections.push_back({WString(name), lineNumber, shadowed, {}});
            current = &listing.sections.back();
            continue;
        }
        // A key line holds '='; the key is what comes before the first one.
        const std::size_t equals = line.find(L'=');
        if (equals == WStringView::npos) continue;
        ProfileKeyLine key{WString(Trim(line.substr(0, equals))), UpToNul(Unquote(Trim(line.substr(equals + 1)))),
                           lineNumber, false};
        std::vector<ProfileKeyLine>& keys = current ? current->keys : listing.keysBeforeFirstSection;
        std::unordered_map<WString, std::size_t>& index = current ? current->keyIndex : keysBeforeFirstSection;
        key.shadowed = !index.emplace(ToUpperAscii(key.key), keys.size()).second;
        keys.push_back(std::move(key));
    }
    return listing;
}

}  // namespace zq::sim
