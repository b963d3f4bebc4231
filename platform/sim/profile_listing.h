// The sections and keys of an INI file, as GetPrivateProfileStringW would
// find them, with their line numbers: the one scan of a settings file. The
// simulated GetPrivateProfileStringW answers from it (profile_reader.h), and
// the checker also learns from it which sections and keys exist and which
// lines are never looked at. A file is decoded, split, trimmed and unquoted
// once; sections and keys are then found by a hash of their names.
//
// The line rules are those of profile_reader.h: a file that starts with the
// bytes FF FE is UTF-16LE, any other is ANSI text in the given code page
// (decoded by ansi_code_page.h, as the reader does); lines end at CR, LF
// or CRLF; blanks (space, tab, VT) around names and values go; a line whose
// first character is ';' is a comment; "[name" up to the first ']' is a
// header; a line with '=' is a key; anything else is ignored. Of two headers
// with the same name (ASCII case ignored) only the first is searched, and of
// two keys with the same name in it only the first is found.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/text.h"

namespace zq::sim {

struct ProfileKeyLine {
    WString key;
    WString value;          // as the file spells it, one pair of outer quotes removed, not cut
    int line = 0;           // 1-based; CR LF counts as one line end
    bool shadowed = false;  // an earlier key of the same name in the section wins
};

struct ProfileSectionLines {
    WString name;
    int line = 0;
    bool shadowed = false;  // an earlier header of the same name wins: never searched
    std::vector<ProfileKeyLine> keys;
    // The first key of each name (ASCII upper case) → its place in `keys`.
    std::unordered_map<WString, std::size_t> keyIndex = {};
};

struct ProfileListing {
    std::vector<ProfileSectionLines> sections;  // every header, in file order
    std::vector<ProfileKeyLine> keysBeforeFirstSection;
    bool startsWithUtf8Mark = false;  // EF BB BF: three ANSI characters stuck to line 1

    // The section that reads find (the first of that name, blanks around
    // `name` ignored), or nullptr.
    const ProfileSectionLines* Find(WStringView name) const;
    // The same for a name taken as it is: the reader trims its arguments
    // by rules of its own.
    const ProfileSectionLines* FindExactly(WStringView name) const;
    // The key of that name that reads find in the section (the first of it;
    // the name taken as it is), or nullptr.
    static const ProfileKeyLine* FindKey(const ProfileSectionLines& section, WStringView key);

    // The first section of each name (ASCII upper case) → its place in `sections`.
    std::unordered_map<WString, std::size_t> sectionIndex = {};
};

ProfileListing ListProfile(const std::string& fileBytes, unsigned codePage = 1252);

}  // namespace zq::sim
