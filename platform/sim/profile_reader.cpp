#include "platform/sim/profile_reader.h"

namespace zq::sim {

namespace {

// The section and key arguments lose only spaces; a tab in them must match.
WStringView TrimSpaces(WStringView text) {
    while (!text.empty() && text.front() == L' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
    return text;
}

// The caller's buffer holds bufferChars - 1 characters and the NUL; it reads
// the result as a string, so an embedded NUL ends it too.
WString FitToBuffer(WStringView text, std::size_t bufferChars) {
    text = text.substr(0, text.find(L'\0'));
    if (bufferChars == 0) return {};
    return WString(text.substr(0, bufferChars - 1));
}

}  // namespace

WString ProfileDefault(const WString& defaultValue, std::size_t bufferChars) {
    WStringView text = defaultValue;
    while (!text.empty() && text.back() == L' ') text.remove_suffix(1);
    return FitToBuffer(text, bufferChars);
}

WString ReadProfileString(const ProfileListing& file, const WString& section, const WString& key,
                          const WString& defaultValue, std::size_t bufferChars) {
    // Only the first section of the wanted name is searched: its keys end
    // at the next header, even when a later header repeats the name.
    const ProfileSectionLines* lines = file.FindExactly(TrimSpaces(section));
    const ProfileKeyLine* line = lines ? ProfileListing::FindKey(*lines, TrimSpaces(key)) : nullptr;
    if (!line) return ProfileDefault(defaultValue, bufferChars);
    return FitToBuffer(line->value, bufferChars);
}

WString ReadProfileString(const std::string& fileBytes, const WString& section, const WString& key,
                          const WString& defaultValue, std::size_t bufferChars, unsigned codePage) {
    return ReadProfileString(ListProfile(fileBytes, codePage), section, key, defaultValue, bufferChars);
}

}  // namespace zq::sim
