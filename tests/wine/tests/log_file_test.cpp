// The log file on the real file system: what another program may have put
// at its name, and the TEMP values that used to lead the run into an
// earlier run's log.
#include <gtest/gtest.h>

#include "log/log_file.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

using namespace test;

// The messages of a log file, after their time stamps.
std::vector<std::string> Messages(const WString& path) { return LogMessagesOf(ReadFileBytes(path)); }

// A host symbolic link zqmerlesetup000.log in `folder` that names `target`
// (relative to the folder; it need not exist): what a program outside
// Windows' view, or Windows' own CreateSymbolicLinkW, leaves there. Made by
// the host's ln, which Wine starts as a host program in that folder; a
// marker file says when it is done, since Wine hands back no process
// handle for a host program.
void PlantHostLink(const WString& folder, const WString& target) {
    StartedProgram shell(L"Z:\\bin\\sh -c \"ln -s " + target + L" zqmerlesetup000.log && : > planted\"", folder);
    ASSERT_TRUE(WaitUntil([&] { return Exists(folder + L"\\planted"); }, 10000))
        << "no link in " << Utf16ToUtf8(folder);
    ::DeleteFileW((folder + L"\\planted").c_str());
}

// A link to a file outside, or to nothing, planted before the log chooses
// its name or after (Wine reads a link to nothing as missing, so the choice
// takes the name, and the creation must refuse it).
TEST(LogFileUnderWine, ALinkAtTheNameIsNeverWrittenThrough) {
    for (bool toNothing : {false, true}) {
        for (bool late : {false, true}) {
            SCOPED_TRACE(testing::Message() << (toNothing ? "to nothing" : "to a file") << (late ? ", late" : ""));
            // Folders of each case's own: a link to nothing cannot be
            // deleted through Windows' view of it.
            const WString tag = std::to_wstring(toNothing) + std::to_wstring(late);
            const WString temp = FreshTestFolder(L"log-link-temp" + tag);
            const WString outside = FreshTestFolder(L"log-link-outside" + tag);
            WriteFileBytes(outside + L"\\system.ini", "[keep]\r\n");
            const WString target = L"../log-link-outside" + tag + (toNothing ? L"/created.dll" : L"/system.ini");
            ScopedEnvironmentVariable scopedTemp(L"TEMP", temp);
            Win32Platform machine;
            if (!late) PlantHostLink(temp, target);
            CLogFile log(machine.Get());
            if (late) PlantHostLink(temp, target);
            EXPECT_EQ(log.LogMessage(LOG_HIGH, L"+++ banner"), 1);
            EXPECT_EQ(log.LogMessage(LOG_HIGH, L"second line"), 1);

            EXPECT_EQ(log.Path(), temp + L"\\zqmerlesetup001.log");
            EXPECT_EQ(ReadFileBytes(outside + L"\\system.ini"), "[keep]\r\n");
            EXPECT_FALSE(Exists(outside + L"\\created.dll")) << "the link's missing target was created";
            EXPECT_EQ(Messages(log.Path()), (std::vector<std::string>{"+++ banner", "second line"}));
        }
    }
}

// The shell's probe failed on both: a TEMP that ends in a backslash gave a
// doubled one, and a TEMP of 240 characters names of 260. Each time the run
// found no earlier log, took 000 and appended to it.
TEST(LogFileUnderWine, AnEarlierLogStaysAsItWasWhateverTheTemp) {
    const WString plain = FreshTestFolder(L"log-temp-spellings");
    const WString longTemp = plain + L"\\" + WString(240 - plain.size() - 1, L'd');  // its logs' names pass 260
    ASSERT_TRUE(::CreateDirectoryW(longTemp.c_str(), nullptr));
    const std::pair<WString, WString> rows[] = {
        // TEMP, and the folder of the logs
        {plain + L"\\", plain + L"\\"},
        {longTemp, longTemp + L"\\"},
        {longTemp + L"\\", longTemp + L"\\"},
    };
    for (const auto& [temp, folder] : rows) {
        SCOPED_TRACE(temp.size());
        const WString earlier = folder + L"zqmerlesetup000.log", mine = folder + L"zqmerlesetup001.log";
        WriteFileBytes(ExtendedLengthPath(earlier), "[03/07/2009 09:05:02]earlier run\r\n");
        ::DeleteFileW(ExtendedLengthPath(mine).c_str());
        ScopedEnvironmentVariable scopedTemp(L"TEMP", temp);
        Win32Platform machine;
        {
            CLogFile log(machine.Get());
            EXPECT_EQ(log.LogMessage(LOG_HIGH, L"this run"), 1);
            EXPECT_EQ(log.Path(), mine);
        }
        EXPECT_EQ(ReadFileBytes(ExtendedLengthPath(earlier)), "[03/07/2009 09:05:02]earlier run\r\n");
        EXPECT_EQ(Messages(ExtendedLengthPath(mine)), std::vector<std::string>{"this run"});
    }
}

}  // namespace
}  // namespace zq::win32
