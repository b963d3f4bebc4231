// Regression rows from fuzzing and from the fast paths it checks: the
// keyword search's block edges and NUL cut, and the simulated file reads
// that try the path as written first.
#include <gtest/gtest.h>

#include <cstring>

#include "checks/driver_detection.h"
#include "platform/sim/sim_services.h"
#include "tests/support/test_machine.h"

namespace zq {
namespace {

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
                for (std::size_t i = 0; i < length; ++i) text[at + i] = static_cast<wchar_t>(L'A' + i % 26);
                const WString keyword = text.substr(at, length);
                const std::vector<std::uint8_t> bytes = Utf16(text);
                std::vector<std::uint8_t> shifted(bytes.size() + 1);
                std::memcpy(shifted.data() + 1, bytes.data(), bytes.size());
                SCOPED_TRACE(testing::Message() << textUnits << " units, keyword of " << length << " at " << at);
                ASSERT_EQ(FindFirstKeyword(bytes.data(), bytes.size(), {keyword}), 0);
                ASSERT_EQ(FindFirstKeyword(shifted.data() + 1, bytes.size(), {keyword}), 0);
                // One unit less of text: a keyword that ended at the end is gone.
                ASSERT_EQ(FindFirstKeyword(bytes.data(), bytes.size() - 2, {keyword}),
                          at + length == textUnits ? -1 : 0);
            }
        }
    }
}

// Reads try the path as written first; other spellings still find the
// stored names (their bytes: sim_paths_test.cpp), and folders, missing
// files and locked files still fail, with Windows' errors.
TEST(FuzzRegression, UnsharedReadsOfOtherSpellings) {
    test::TestMachine machine;
    machine.WriteFile("C:\\Windows\\inf\\oem1.inf", "abc");
    machine.WriteFile("C:\\Windows\\inf\\Oem2.inf", "de");
    machine.config()["lockedFiles"] = {"C:\\Windows\\inf\\oem2.INF"};
    Platform& platform = machine.Load().platform();
    std::vector<std::uint8_t> content(10, 7);
    std::size_t size = 0;
    for (const auto& [path, error] : {std::pair{L"C:\\Windows\\inf\\Oem2.inf", sim::kErrorSharingViolation},
                                      {L"c:\\WINDOWS\\INF\\OEM1.INF", 0},
                                      {L"C:\\windows\\Inf", kErrorAccessDenied},
                                      {L"C:\\Windows\\inf\\oem9.inf", kErrorFileNotFound},
                                      {L"C:\\Windows\\nothing\\oem9.inf", sim::kErrorPathNotFound}}) {
        EXPECT_EQ(platform.files.ReadWholeFileUnshared(path, content, size), error == 0) << Utf16ToUtf8(path);
        EXPECT_EQ(platform.environment.LastError(), error) << Utf16ToUtf8(path);
    }
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

}  // namespace
}  // namespace zq
