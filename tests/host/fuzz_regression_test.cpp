// Regression rows from fuzzing and from the fast paths it checks: the
// keyword search's block edges and NUL cut, the simulated file reads that
// try the path as written first, and the formatter's limits.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "base/format.h"
#include "checks/driver_detection.h"
#include "log/log_file.h"
#include "platform/sim/sim_services.h"
#include "tests/support/scenario.h"

namespace zq {
namespace {

using test::Contains;
using test::SettingsFile;
using test::StandardMachine;

std::vector<std::uint8_t> Utf16(const WString& text) {
    const std::string bytes = StringToUtf16LeBytes(text);
    return {bytes.begin(), bytes.end()};
}

// The search works on blocks of 8 and 16 code units: a keyword of every
// length up to 40 at every place of texts up to 70 units long, also at an
// odd address, is found exactly where a plain search finds it.
TEST(FuzzRegression, KeywordSearchAtEveryPlaceAndLength) {
    for (std::size_t textUnits = 1; textUnits <= 70; ++textUnits) {
        for (std::size_t length = 1; length <= 40 && length <= textUnits; ++length) {
            for (std::size_t at = 0; at + length <= textUnits; ++at) {
                WString text(textUnits, L'.');
                WString keyword;
                for (std::size_t i = 0; i < length; ++i) keyword.push_back(static_cast<wchar_t>(L'A' + i % 26));
                text.replace(at, length, keyword);
                const std::vector<std::uint8_t> bytes = Utf16(text);
                std::vector<std::uint8_t> shifted(bytes.size() + 1);
                std::memcpy(shifted.data() + 1, bytes.data(), bytes.size());
                SCOPED_TRACE(testing::Message() << textUnits << " units, keyword of " << length << " at " << at);
                ASSERT_EQ(FindFirstKeyword(bytes.data(), bytes.size(), {keyword}), 0);
                ASSERT_EQ(FindFirstKeyword(shifted.data() + 1, bytes.size(), {keyword}), 0);
                // One unit less of text: a keyword that ended at the end is gone.
                const int cut = FindFirstKeyword(bytes.data(), bytes.size() - 2, {keyword});
                ASSERT_EQ(cut, at + length == textUnits ? -1 : 0);
            }
        }
    }
}

TEST(FuzzRegression, KeywordSearchNulCutAndOddUnits) {
    struct Case {
        const char* why;
        WString text;
        std::vector<WString> keywords;
        int expected;
    } cases[] = {
        {"a NUL right after the match", WString(L"xxKEY\0yy", 8), {L"KEY"}, 0},
        {"a NUL right before the match", WString(L"xx\0KEY", 6), {L"KEY"}, -1},
        {"a NUL inside the first occurrence, a later one is after it too", WString(L"KE\0KEY-KEY", 10), {L"KEY"}, -1},
        {"the NUL found for one keyword's match, the next keyword's match before it",
         WString(32, L'A') + WString(1, L'\0') + L"BBB",
         {L"BBB", L"AAA"},
         1},
        {"a match before the NUL, found without looking for it",
         WString(30, L'z') + WString(1, L'\0') + L"CCC zz",
         {L"zz", L"CCC"},
         0},
        {"a keyword holding a NUL never matches", WString(L"a\0b", 3), {WString(L"a\0b", 3)}, -1},
        {"a NUL at a 16-unit block's last place", WString(L"0123456789abcde\0KEY", 19), {L"KEY"}, -1},
        {"a long text with the keyword past its NUL",
         WString(100, L'q') + WString(1, L'\0') + L"KEYWORD" + WString(100, L'q'),
         {L"KEYWORD"},
         -1},
        {"units above U+00FF",
         L"\u4e2d\u6587\u00e9\u20ac\u4e2d\u6587\u00e9\u20ac\u4e2d\u6587\u00e9\u20ac!\u20ac",
         {L"\u20ac!\u20ac"},
         0},
        {"bytes of two units that form a third at an odd place", L"\u4100\u4200", {L"\u0041"}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        const std::vector<std::uint8_t> bytes = Utf16(c.text);
        EXPECT_EQ(FindFirstKeyword(bytes.data(), bytes.size(), c.keywords), c.expected);
    }
}

// The detection reads every file into one buffer: a file after a larger one
// is searched in its own bytes only.
TEST(FuzzRegression, AFileAfterALargerOneIsSearchedInItsOwnBytes) {
    StandardMachine machine(SettingsFile::Basic().Set("CPE.MagicKeywords", "1", "KEYWORD"),
                            /*driverInstalled=*/false);
    // The first file's text ends at once, at a NUL; its bytes still hold the keyword.
    machine.WriteUtf16LeFile("C:\\Windows\\inf\\oem1.inf", WString(1, L'\0') + WString(500, L'x') + L"KEYWORD");
    machine.WriteUtf16LeFile("C:\\Windows\\inf\\oem2.inf", L"short");
    machine.Run("-log 127");
    const std::vector<std::string> log = machine.LogMessages();
    EXPECT_TRUE(Contains(log, "** Searching C:\\Windows\\inf\\oem1.inf"));
    EXPECT_TRUE(Contains(log, "** Searching C:\\Windows\\inf\\oem2.inf"));
    EXPECT_TRUE(Contains(log, "Drivers not found"));
}

// Reads try the path as written first; other spellings still find the
// stored names, and folders, missing files and locked files still fail.
TEST(FuzzRegression, UnsharedReadsOfOtherSpellings) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Windows\\inf\\oem1.inf", "abc");
    machine.WriteFile("C:\\Windows\\inf\\Oem2.inf", "de");
    machine.config()["lockedFiles"] = {"C:\\Windows\\inf\\oem2.INF"};
    Platform& platform = machine.Load().platform();
    std::vector<std::uint8_t> content(10, 7);
    std::size_t size = 0;
    ASSERT_TRUE(platform.files.ReadWholeFileUnshared(L"c:\\WINDOWS\\INF\\OEM1.INF", content, size));
    EXPECT_EQ(std::string(content.begin(), content.begin() + size), "abc");
    EXPECT_EQ(platform.environment.LastError(), 0u);
    EXPECT_FALSE(platform.files.ReadWholeFileUnshared(L"C:\\Windows\\inf\\Oem2.inf", content, size));
    EXPECT_EQ(platform.environment.LastError(), sim::kErrorSharingViolation);
    EXPECT_FALSE(platform.files.ReadWholeFileUnshared(L"C:\\windows\\Inf", content, size));
    EXPECT_EQ(platform.environment.LastError(), kErrorAccessDenied);
    EXPECT_FALSE(platform.files.ReadWholeFileUnshared(L"C:\\Windows\\inf\\oem9.inf", content, size));
    EXPECT_EQ(platform.environment.LastError(), kErrorFileNotFound);
    EXPECT_FALSE(platform.files.ReadWholeFileUnshared(L"C:\\Windows\\nothing\\oem9.inf", content, size));
    EXPECT_EQ(platform.environment.LastError(), sim::kErrorPathNotFound);
}

// A file reached through another spelling of its path is the same file, so
// the creation of a new one refuses every spelling of it.
TEST(FuzzRegression, CreationThroughOtherSpellingsIsRefused) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Temp\\Run.log", "old");
    Platform& platform = machine.Load().platform();
    for (const wchar_t* spelling : {L"C:\\Temp\\Run.log", L"c:\\TEMP\\run.LOG", L"C:\\Temp\\\\Run.log",
                                    L"C:/temp/RUN.log ", L"C:\\Temp\\.\\Run.log."}) {
        SCOPED_TRACE(Utf16ToUtf8(spelling));
        EXPECT_TRUE(platform.files.Exists(spelling));
        EXPECT_EQ(platform.files.CreateNewFile(spelling).error, kErrorFileExists);
    }
    EXPECT_EQ(machine.ReadFile("C:\\Temp\\Run.log"), "old");
}

// Every line feed in a message is written as CR LF, and the message ends at
// its first NUL; nothing else is changed but characters above U+00FF.
TEST(FuzzRegression, LogLinesOfControlCharacters) {
    EXPECT_EQ(EncodeLogLine(L"[t]", WString(L"a\rb\n\0c", 6)), "[t]a\rb\r\n\r\n");
    EXPECT_EQ(EncodeLogLine(L"", L"\u0100\u00ff\u0001"), std::string("?\xff\x01\r\n"));
}

// Outside the launcher's own formats and argument types (its integers are
// 32-bit and its widths a digit or two), found while writing the
// formatter's fuzz target: negating the smallest 64-bit number, and a width
// of billions, which must not throw out of a formatter that never fails.
TEST(FuzzRegression, TheSmallest64BitNumberFormats) {
    EXPECT_EQ(Format(L"%lld", std::numeric_limits<std::int64_t>::min()), L"-9223372036854775808");
    // "%d" takes its low 32 bits, as Microsoft's C library does.
    EXPECT_EQ(Format(L"%d", std::numeric_limits<std::int64_t>::min()), L"0");
}

TEST(FuzzRegression, AHugeWidthDoesNotThrow) {
    WString text;
    EXPECT_NO_THROW(text = Format(L"%99999999999999999999d", 1));
    EXPECT_EQ(text.back(), L'1');
}

}  // namespace
}  // namespace zq
