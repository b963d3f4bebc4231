// The argument text as the C runtime computes it for WinMain (the real
// exe's own shows in its log banner, in the exe suite).
#include <gtest/gtest.h>

#include "platform/win32/win32_platform.h"
#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

struct ArgumentTextRow {
    const wchar_t* commandLine;
    const wchar_t* argumentText;
};

TEST(ArgumentTextOf, SkipsTheProgramTokenAndTheBlanksAfterIt) {
    const ArgumentTextRow rows[] = {
        {L"setup.exe", L""},
        {L"setup.exe -f a.inf", L"-f a.inf"},
        {L"\"C:\\My Pkg\\setup.exe\" -f x.inf", L"-f x.inf"},
        {L"\"C:\\My Pkg\\setup.exe\"-f x.inf", L"-f x.inf"},  // nothing needed after the quote
        {L"\"C:\\My Pkg\\setup.exe\"", L""},
        {L"setup.exe \t  -f a.inf", L"-f a.inf"},  // blanks and tabs both skipped
        {L"setup.exe\t-log 1", L"-log 1"},         // a tab ends the program token
        {L"setup.exe -f a.inf  ", L"-f a.inf  "},  // trailing blanks stay
        {L"\"C:\\unclosed -f a.inf", L""},         // an unclosed quote takes the line
        {L"se\"tup.exe -f", L"-f"},                // a quote inside an unquoted token
        {L" setup.exe -f", L"setup.exe -f"},       // empty program token
        {L"", L""},
    };
    for (const ArgumentTextRow& row : rows) {
        SCOPED_TRACE(Utf16ToUtf8(row.commandLine));
        EXPECT_EQ(ArgumentTextOf(row.commandLine), WString(row.argumentText));
    }
}

}  // namespace
}  // namespace zq::win32
