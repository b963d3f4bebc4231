// The plug-in's pure decisions: INF path, tray path (absolute folders only), the set-up tool's
// command line, which drivers qualify.
#include <gtest/gtest.h>

#include "plugin/update_driver_plugin.h"

namespace zq {
namespace {

TEST(PluginRules, InfPathOfTheCommandLine) {
    struct Case {
        const wchar_t *commandLine, *infPath;
    } cases[] = {
        {L"c:\\pkg\\drivers\\lanpatch.exe", L"c:\\pkg\\drivers\\"},
        {L"lanpatch.exe  c:\\pkg\\x.inf ", L"c:\\pkg\\x.inf"},
        {L"lanpatch.exe c:\\lanpatch.exe\\x.inf", L"c:\\\\x.inf"},
        {L"\"c:\\pkg\\lanpatch.exe\" \"c:\\pkg\\x.inf\"", L"\"c:\\pkg\\\" \"c:\\pkg\\x.inf\""},
        {L"\t\r\nlanpatch.exe\tc:\\a.inf\r\n", L"c:\\a.inf"},
    };
    for (const auto& c : cases) EXPECT_EQ(InfPathOfCommandLine(c.commandLine), c.infPath) << Utf16ToUtf8(c.commandLine);
}

TEST(PluginRules, TrayApplicationOnlyBelowAnAbsoluteFolder) {
    struct Case {
        const wchar_t* folder;
        const wchar_t* path;  // nullptr: not started
    } cases[] = {
        {L"D:\\Tools\\", L"D:\\Tools\\Pictavo\\Bin\\zqnotify.exe"},
        {L"D:\\Tools", L"D:\\Tools\\Pictavo\\Bin\\zqnotify.exe"},
        {L"d:\\", L"d:\\Pictavo\\Bin\\zqnotify.exe"},
        {L"\\\\srv\\share", L"\\\\srv\\share\\Pictavo\\Bin\\zqnotify.exe"},
        {L"\\\\srv\\share\\Zelt\\", L"\\\\srv\\share\\Zelt\\Pictavo\\Bin\\zqnotify.exe"},
        {L"", nullptr},
        {L"Tools\\", nullptr},
        {L".\\Tools", nullptr},
        {L"\\Tools\\", nullptr},
        {L"D:", nullptr},
        {L"D:Tools\\", nullptr},
        {L"D:/Tools/", nullptr},
        {L"1:\\Tools", nullptr},
        {L"\\\\", nullptr},
        {L"\\\\srv", nullptr},
        {L"\\\\srv\\", nullptr},
        {L"\\\\srv\\\\share", nullptr},
        {L"\\\\\\share", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.folder));
        const std::optional<WString> path = TrayApplicationPath(c.folder);
        if (c.path == nullptr) EXPECT_FALSE(path.has_value()) << Utf16ToUtf8(path.value_or(L""));
        else EXPECT_EQ(path.value_or(L"(none)"), c.path);
    }
}

TEST(PluginRules, PrintUiCommandLineQuotesEachArgument) {
    PrinterRecord printer{.name = L"Office 5400", .port = L"IP_10.0.0.5", .driver = L"ZQ Merle 5400 Series"};
    EXPECT_EQ(PrintUiCommandLine(printer, L"c:\\pkg\\x.inf"),
              L"rundll32 printui.dll,PrintUIEntry /if /b \"Office 5400\" /f \"c:\\pkg\\x.inf\" /r \"IP_10.0.0.5\" /m "
              L"\"ZQ Merle 5400 Series\"");
}

TEST(PluginRules, DriverNamesComparedWholeWithoutCase) {
    CUpdateDriverPlugin context(L"x");
    context.driverNames = {L"Model 5400 Series", L"Other"};
    context.driverCount = 2;
    EXPECT_TRUE(IsUpdateDriver(context, L"model 5400 series"));
    EXPECT_FALSE(IsUpdateDriver(context, L"Model 5400"));
    EXPECT_FALSE(IsUpdateDriver(context, L" Model 5400 Series"));
    context.driverNames.clear();
    EXPECT_FALSE(IsUpdateDriver(context, L"Other"));
}

TEST(PluginRules, PrinterDriverDataKey) {
    EXPECT_EQ(PrinterDriverDataKey(L"P1"),
              L"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\P1\\PrinterDriverData");
}

TEST(PluginRules, OnlyTheQuotesAroundTheInfPathAreRemoved) {
    struct Case {
        const wchar_t *infPath, *file;
    } cases[] = {
        {L"\"c:\\my package\\drv.inf\"", L"c:\\my package\\drv.inf"},
        {L"c:\\pkg\\drv.inf", L"c:\\pkg\\drv.inf"},
        {L"\"c:\\pkg\\drv.inf", L"\"c:\\pkg\\drv.inf"},
        {L"\"c:\\a\" \"b.inf\"", L"c:\\a\" \"b.inf"},
        {L"\"", L"\""},
        {L"\"\"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(UnquotedInfPath(c.infPath), c.file) << Utf16ToUtf8(c.infPath);
}

TEST(PluginRules, ADoubleQuoteAnywhereMakesAPrinterUnsafe) {
    const PrinterRecord plain{.name = L"Office", .port = L"IP_1", .driver = L"ZQ Merle 5400 Series"};
    EXPECT_FALSE(HoldsDoubleQuote(plain, L"c:\\pkg\\drv.inf"));
    for (WString PrinterRecord::*field : {&PrinterRecord::name, &PrinterRecord::port, &PrinterRecord::driver}) {
        PrinterRecord quoted = plain;
        quoted.*field += L"\" /b \"x";
        EXPECT_TRUE(HoldsDoubleQuote(quoted, L"c:\\pkg\\drv.inf"));
    }
    EXPECT_TRUE(HoldsDoubleQuote(plain, L"c:\\pkg\"\\drv.inf"));
    // Fields that do not reach the command line do not count.
    PrinterRecord commented = plain;
    commented.comment = L"the \"big\" one";
    EXPECT_FALSE(HoldsDoubleQuote(commented, L"c:\\pkg\\drv.inf"));
}

}  // namespace
}  // namespace zq
