// The log file on the real file system: what another program may have put
// at its name, and the TEMP values that used to lead the run into an
// earlier run's log.
#include <gtest/gtest.h>

#include "log/log_file.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

using test::Exists;
using test::FreshTestFolder;
using test::Narrow;
using test::ReadFileBytes;
using test::WriteFileBytes;

// The messages of a log file, after their time stamps.
std::vector<std::string> Messages(const WString& path) { return test::LogMessagesOf(ReadFileBytes(path)); }

// Wine's own export that names the host file behind a Windows path (cast
// through void(*)(), the one cast between function pointer types that GCC
// takes as deliberate).
std::string HostPathOf(const WString& path) {
    using UnixFileName = char*(CDECL*)(const wchar_t*);
    auto unixFileName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* name = unixFileName != nullptr ? unixFileName(path.c_str()) : nullptr;
    EXPECT_NE(name, nullptr) << "no host path for " << Narrow(path);
    const std::string host = name != nullptr ? name : "";
    ::HeapFree(::GetProcessHeap(), 0, name);
    return host;
}

// A host symbolic link at `link` that names `target` (both Windows paths in
// the prefix; the target need not exist): what a program outside Windows'
// view, or Windows' own CreateSymbolicLinkW, leaves in the folder. Made by
// the host's ln, which Wine starts as a host program; a marker file says
// when it is done, since Wine gives no exit status for a host program.
void PlantHostLink(const WString& link, const WString& target) {
    const WString marker = link + L".planted";
    const std::string command =
        "ln -s '" + HostPathOf(target) + "' '" + HostPathOf(link) + "' && : > '" + HostPathOf(marker) + "'";
    // Wine hands back no process handle for a host program.
    test::StartedProgram shell(L"Z:\\bin\\sh -c \"" + WString(command.begin(), command.end()) + L"\"");
    ASSERT_TRUE(test::WaitUntil([&] { return Exists(marker); }, 10000)) << "ln made no link at " << Narrow(link);
    ::DeleteFileW(marker.c_str());
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
            const WString target = outside + (toNothing ? L"\\created.dll" : L"\\system.ini");
            test::ScopedEnvironmentVariable scopedTemp(L"TEMP", temp);
            Win32Platform machine;
            if (!late) PlantHostLink(temp + L"\\zqmerlesetup000.log", target);
            CLogFile log(machine.Get());
            if (late) PlantHostLink(temp + L"\\zqmerlesetup000.log", target);
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
        test::ScopedEnvironmentVariable scopedTemp(L"TEMP", temp);
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
