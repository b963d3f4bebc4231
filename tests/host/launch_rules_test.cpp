// The launch's pure decisions: the uninstall data file, registry strings.
#include <gtest/gtest.h>

#include "launch/section_launcher.h"

namespace zq {
namespace {

// (The documented form: launch_test.cpp's UninstallDataFile.)
TEST(DataFileCopy, FromTheUninstallString) {
    struct Case {
        const char* why;
        const wchar_t* uninstallString;
        const wchar_t *from, *to;  // nullptr: no copy
    } cases[] = {
        {"quote kept", L"\"C:\\P Q\\zqclean.exe\" -datfile pkg.dat", L"setup\\pkg.dat", L"\"C:\\P Q\\pkg.dat"},
        {"-datfile as the last word names no file", L"C:\\P\\zqclean.exe -datfile", L"setup\\", L"C:\\P\\"},
        {"without zqclean: the bare name", L"C:\\P\\remove.exe -datfile pkg.dat", L"setup\\pkg.dat", L"pkg.dat"},
        {"a token that is not exactly -datfile", L"C:\\P\\zqclean.exe -datfile=pkg.dat", nullptr, nullptr},
        {"case matters", L"C:\\P\\ZQCLEAN.EXE -DATFILE pkg.dat", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::optional<DataFileCopy> copy = DataFileCopyFor(c.uninstallString);
        ASSERT_EQ(copy.has_value(), c.from != nullptr);
        if (!copy) continue;
        EXPECT_EQ(std::pair(copy->from, copy->to), (std::pair<WString, WString>(c.from, c.to)));
    }
}

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(RegistryString, AlwaysTerminatedWithinTheBuffer) {
    const std::string text = StringToUtf16LeBytes(L"abc");
    EXPECT_EQ(RegistryStringWithin(Bytes(text + std::string(2, '\0')), 500), L"abc");
    // Stored without its terminator but with room for one: complete.
    EXPECT_EQ(RegistryStringWithin(Bytes(text), 500), L"abc");
    // Filling the whole buffer without a terminator: too long.
    const std::string full = StringToUtf16LeBytes(WString(250, L'x'));
    EXPECT_EQ(RegistryStringWithin(Bytes(full), 500), std::nullopt);
    EXPECT_EQ(RegistryStringWithin(Bytes(full.substr(0, 498)), 500), WString(249, L'x'));
    // The text ends at the first NUL, even inside the data.
    EXPECT_EQ(RegistryStringWithin(Bytes(StringToUtf16LeBytes(WString(L"a\0b", 3))), 500), L"a");
}

}  // namespace
}  // namespace zq
