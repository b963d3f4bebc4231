// IProfileStrings: GetPrivateProfileStringW as the platform answers it.
#include <gtest/gtest.h>

#include "platform/win32/win32_platform.h"
#include "tests/wine/wine_test_support.h"

namespace zq::win32 {
namespace {

class Win32Profile : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = test::FreshTestFolder(L"profile") + L"\\autorun.inf";
        test::WriteFileBytes(path_,
                             "[OS_Support]\r\n"
                             "os_list=501,600_64\r\n"
                             "[Version]\r\n"
                             "Log = 511 \r\n"
                             "Long=abcdefghij\r\n"
                             "Empty=\r\n");
    }
    Win32ProfileStrings profile_;
    WString path_;
};

TEST_F(Win32Profile, ReadsValues) {
    EXPECT_EQ(profile_.GetString(L"OS_Support", L"os_list", L"<READ_FAILED>", 500, path_), L"501,600_64");
    EXPECT_EQ(profile_.GetString(L"version", L"LOG", L"", 500, path_), L"511")
        << "names ignore case, values are trimmed";
    EXPECT_EQ(profile_.GetString(L"Version", L"Empty", L"dflt", 500, path_), L"");
}

TEST_F(Win32Profile, MissingKeySectionOrFileGivesTheDefault) {
    EXPECT_EQ(profile_.GetString(L"Version", L"Missing", L"<READ_FAILED>", 500, path_), L"<READ_FAILED>");
    EXPECT_EQ(profile_.GetString(L"Missing", L"Log", L"<READ_FAILED>", 500, path_), L"<READ_FAILED>");
    EXPECT_EQ(profile_.GetString(L"Version", L"Log", L"<READ_FAILED>", 500, path_ + L".missing"), L"<READ_FAILED>");
}

TEST_F(Win32Profile, ValueIsCutToTheBufferLessOne) {
    EXPECT_EQ(profile_.GetString(L"Version", L"Long", L"", 5, path_), L"abcd");
    EXPECT_EQ(profile_.GetString(L"Version", L"Long", L"", 11, path_), L"abcdefghij");
    EXPECT_EQ(profile_.GetString(L"Version", L"Missing", L"defaultvalue", 5, path_), L"defa");
}

}  // namespace
}  // namespace zq::win32
