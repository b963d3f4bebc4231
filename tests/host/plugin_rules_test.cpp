// The plug-in's pure decisions: the INF path, the tray application's path
// (absolute folders only), which drivers qualify, and which printers are
// safe to hand to the set-up tool.
#include <gtest/gtest.h>

#include "plugin/update_driver_plugin.h"

namespace zq {
namespace {

TEST(PluginRules, InfPathOfTheCommandLineAndUnquoted) {
    struct Case {
        const wchar_t *commandLine, *infPath, *file;
    } cases[] = {
        {L"c:\\pkg\\drivers\\lanpatch.exe", L"c:\\pkg\\drivers\\", L"c:\\pkg\\drivers\\"},
        {L"lanpatch.exe  c:\\pkg\\x.inf ", L"c:\\pkg\\x.inf", L"c:\\pkg\\x.inf"},
        {L"\"c:\\pkg\\lanpatch.exe\" \"c:\\pkg\\x.inf\"", L"\"c:\\pkg\\\" \"c:\\pkg\\x.inf\"",
         L"c:\\pkg\\\" \"c:\\pkg\\x.inf"},
        {L"lanpatch.exe \"c:\\my package\\drv.inf\"", L"\"c:\\my package\\drv.inf\"", L"c:\\my package\\drv.inf"},
        {L"lanpatch.exe \"c:\\pkg\\drv.inf", L"\"c:\\pkg\\drv.inf", L"\"c:\\pkg\\drv.inf"},
        {L"lanpatch.exe \"\"", L"\"\"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.commandLine));
        EXPECT_EQ(InfPathOfCommandLine(c.commandLine), c.infPath);
        EXPECT_EQ(UnquotedInfPath(c.infPath), c.file);
    }
}

TEST(PluginRules, TrayApplicationOnlyBelowAnAbsoluteFolder) {
    const WString tray = L"Pictavo\\Bin\\zqnotify.exe";
    struct Case {
        const wchar_t* folder;
        const wchar_t* below;  // nullptr: not started
    } cases[] = {
        {L"D:\\Tools\\", L"D:\\Tools\\"},
        {L"D:\\Tools", L"D:\\Tools\\"},
        {L"\\\\srv\\share", L"\\\\srv\\share\\"},
        {L"", nullptr},
        {L"Tools\\", nullptr},
        {L"\\Tools\\", nullptr},
        {L"D:Tools\\", nullptr},
        {L"\\\\srv", nullptr},
        {L"\\\\srv\\\\share", nullptr},
        {L" C:\\Zelt\\", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.folder));
        const std::optional<WString> path = TrayApplicationPath(c.folder);
        if (c.below == nullptr) EXPECT_FALSE(path.has_value()) << Utf16ToUtf8(path.value_or(L""));
        else EXPECT_EQ(path.value_or(L"(none)"), c.below + tray);
    }
}

TEST(PluginRules, DriverNamesComparedWholeWithoutCase) {
    CUpdateDriverPlugin context(L"x");
    context.driverNames = {L"Model 5400 Series", L"Other"};
    context.driverCount = 2;
    EXPECT_TRUE(IsUpdateDriver(context, L"model 5400 series"));
    EXPECT_FALSE(IsUpdateDriver(context, L" Model 5400 Series"));
    context.driverNames.clear();
    EXPECT_FALSE(IsUpdateDriver(context, L"Other"));
}

TEST(PluginRules, ADoubleQuoteAnywhereMakesAPrinterUnsafe) {
    // The comment does not reach the command line: its quotes do not count.
    const PrinterRecord plain{
        .name = L"Office", .port = L"IP_1", .driver = L"ZQ Merle 5400 Series", .comment = L"the \"big\" one"};
    EXPECT_FALSE(HoldsDoubleQuote(plain, L"c:\\pkg\\drv.inf"));
    for (WString PrinterRecord::*field : {&PrinterRecord::name, &PrinterRecord::port, &PrinterRecord::driver}) {
        PrinterRecord quoted = plain;
        quoted.*field += L"\" /b \"x";
        EXPECT_TRUE(HoldsDoubleQuote(quoted, L"c:\\pkg\\drv.inf"));
    }
    EXPECT_TRUE(HoldsDoubleQuote(plain, L"c:\\pkg\"\\drv.inf"));
}

}  // namespace
}  // namespace zq
