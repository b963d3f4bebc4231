// The checker's listing of sections and keys: on the INI corpus, each key it
// finds reads back through the launcher's profile reader as the first key of
// its name in the first section of its name.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/text.h"
#include "platform/sim/profile_listing.h"
#include "platform/sim/profile_reader.h"
#include "tests/support/sim_program.h"

namespace zq::sim {
namespace {

TEST(CheckProfileListing, AgreesWithTheProfileReaderOnTheCorpus) {
    constexpr wchar_t kMissing[] = L"<missing>";
    constexpr std::size_t kBuffer = 500;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(ZQ_SOURCE_DIR "/tests/ini-corpus")) {
        if (entry.path().extension() != ".ini") continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string bytes = test::ReadText(entry.path());
        const ProfileListing listing = ListProfile(bytes);
        for (const ProfileSectionLines& section : listing.sections) {
            const ProfileSectionLines* first = listing.Find(section.name);
            ASSERT_NE(first, nullptr);
            for (const ProfileKeyLine& key : section.keys) {
                SCOPED_TRACE(Utf16ToUtf8(L"[" + section.name + L"] " + key.key));
                const auto winner = std::find_if(first->keys.begin(), first->keys.end(), [&](const ProfileKeyLine& k) {
                    return EqualsIgnoringAsciiCase(k.key, key.key);
                });
                const WString expected = winner == first->keys.end() ? kMissing : winner->value.substr(0, kBuffer - 1);
                EXPECT_EQ(Utf16ToUtf8(ReadProfileString(bytes, section.name, key.key, kMissing, kBuffer)),
                          Utf16ToUtf8(expected));
            }
        }
    }
    EXPECT_GT(files, 10);
}

// Each section as "name@line", with " (never read)" after a shadowed one. (LF
// or CR alone, and a UTF-8 mark: CheckFindings.)
TEST(CheckProfileListing, SectionsAndTheirLines) {
    const std::pair<std::string, std::vector<std::string>> rows[] = {
        {"[A]\r\nx=1\r\n[B]\r\n", {"A@1", "B@3"}},                // CR LF is one line end
        {"[Run]\r\n[run]\r\n", {"Run@1", "run@2 (never read)"}},  // a second header of a name
        {";[A]\r\n[B]\r\n", {"B@2"}},                             // a comment line is no header
        {"  [ A ]junk\r\n", {"A@1"}},                             // blanks around a header
        {std::string("\xFF\xFE[\0A\0]\0\r\0\n\0", 12), {"A@1"}},  // UTF-16LE with its mark
    };
    for (const auto& [bytes, expected] : rows) {
        SCOPED_TRACE(expected.front());
        std::vector<std::string> sections;
        for (const ProfileSectionLines& section : ListProfile(bytes).sections)
            sections.push_back(Utf16ToUtf8(section.name) + "@" + std::to_string(section.line) +
                               (section.shadowed ? " (never read)" : ""));
        EXPECT_EQ(sections, expected);
    }
}

}  // namespace
}  // namespace zq::sim
