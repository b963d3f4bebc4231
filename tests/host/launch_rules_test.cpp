// The launch's pure decisions: the uninstall data file, registry strings.
#include <gtest/gtest.h>

#include "launch/section_launcher.h"

namespace zq {
namespace {

TEST(DataFileCopy, FromTheUninstallString) {
    struct Case {
        const char* why;
        const wchar_t* uninstallString;
        bool copies;
        const wchar_t *from, *to;
    } cases[] = {
        {"the documented form", L"C:\\Prog\\Clean\\zqclean.exe -datfile pkg.dat", true, L"setup\\pkg.dat",
         L"C:\\Prog\\Clean\\pkg.dat"},
        {"a quoted program keeps its quote in the folder", L"\"C:\\P Q\\zqclean.exe\" -datfile pkg.dat", true,
         L"setup\\pkg.dat", L"\"C:\\P Q\\pkg.dat"},
        {"-datfile as the last word names no file", L"C:\\P\\zqclean.exe -datfile", true, L"setup\\", L"C:\\P\\"},
        {"without zqclean the target is the bare name", L"C:\\P\\remove.exe -datfile pkg.dat", true, L"setup\\pkg.dat",
         L"pkg.dat"},
        {"a token that is not exactly -datfile", L"C:\\P\\zqclean.exe -datfile=pkg.dat", false, L"", L""},
        {"case matters", L"C:\\P\\ZQCLEAN.EXE -DATFILE pkg.dat", false, L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::optional<DataFileCopy> copy = DataFileCopyFor(c.uninstallString);
        ASSERT_EQ(copy.has_value(), c.copies);
        if (!copy) continue;
        EXPECT_EQ(copy->from, c.from);
        EXPECT_EQ(copy->to, c.to);
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
