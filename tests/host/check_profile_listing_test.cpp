// The checker's listing of sections and keys against the profile reader the
// launcher uses: on every file of the INI corpus, each key the listing
// finds reads back as the listing's value, and each key it marks as never
// read (a second header or a second key of a name) reads as missing or as
// the first one's value.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/text.h"
#include "platform/sim/profile_listing.h"
#include "platform/sim/profile_reader.h"

namespace zq::sim {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kMissing[] = L"<missing>";
constexpr std::size_t kBuffer = 500;

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

WString Cut(const WString& value) { return value.substr(0, kBuffer - 1); }

TEST(CheckProfileListing, AgreesWithTheProfileReaderOnTheCorpus) {
    int files = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(ZQ_SOURCE_DIR) / "tests" / "ini-corpus")) {
        if (entry.path().extension() != ".ini") continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string bytes = ReadBytes(entry.path());
        const ProfileListing listing = ListProfile(bytes);
        for (const ProfileSectionLines& section : listing.sections) {
            const ProfileSectionLines* first = listing.Find(section.name);
            ASSERT_NE(first, nullptr);
            for (const ProfileKeyLine& key : section.keys) {
                SCOPED_TRACE(Utf16ToUtf8(L"[" + section.name + L"] " + key.key));
                const WString read = ReadProfileString(bytes, section.name, key.key, kMissing, kBuffer);
                if (!section.shadowed && !key.shadowed) {
                    EXPECT_EQ(Utf16ToUtf8(read), Utf16ToUtf8(Cut(key.value)));
                } else if (section.shadowed) {
                    // Found only when the first section of the name has the key too.
                    const bool inFirst =
                        std::any_of(first->keys.begin(), first->keys.end(), [&](const ProfileKeyLine& k) {
                            return !k.shadowed && EqualsIgnoringAsciiCase(k.key, key.key);
                        });
                    if (!inFirst) {
                        EXPECT_EQ(read, kMissing);
                    }
                } else {
                    const auto winner =
                        std::find_if(section.keys.begin(), section.keys.end(),
                                     [&](const ProfileKeyLine& k) { return EqualsIgnoringAsciiCase(k.key, key.key); });
                    EXPECT_EQ(Utf16ToUtf8(read), Utf16ToUtf8(Cut(winner->value)));
                }
            }
        }
    }
    EXPECT_GT(files, 10);
}

struct ListingRow {
    const char* name;
    std::string bytes;
    std::vector<std::string> sections;  // "name@line", "(never read)" appended to shadowed ones
};

std::vector<std::string> Describe(const ProfileListing& listing) {
    std::vector<std::string> out;
    for (const ProfileSectionLines& section : listing.sections) {
        out.push_back(Utf16ToUtf8(section.name) + "@" + std::to_string(section.line) +
                      (section.shadowed ? " (never read)" : ""));
    }
    return out;
}

TEST(CheckProfileListing, SectionsAndTheirLines) {
    const ListingRow rows[] = {
        {"CR LF is one line end", "[A]\r\nx=1\r\n[B]\r\n", {"A@1", "B@3"}},
        {"LF and CR alone end lines too", "[A]\nx=1\r[B]\n", {"A@1", "B@3"}},
        {"a second header of a name is never read", "[Run]\r\n[run]\r\n", {"Run@1", "run@2 (never read)"}},
        {"a comment line is no header", ";[A]\r\n[B]\r\n", {"B@2"}},
        {"blanks around a header", "  [ A ]junk\r\n", {"A@1"}},
        {"a UTF-8 mark hides the first header", "\xEF\xBB\xBF[A]\r\n[B]\r\n", {"B@2"}},
        {"UTF-16LE with its mark", std::string("\xFF\xFE[\0A\0]\0\r\0\n\0", 12), {"A@1"}},
    };
    for (const ListingRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Describe(ListProfile(row.bytes)), row.sections);
    }
}

}  // namespace
}  // namespace zq::sim
