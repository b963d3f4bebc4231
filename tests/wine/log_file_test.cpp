// The log file on the real file system: what another program may have put
// at its name, and the TEMP values that used to lead the run into an
// earlier run's log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log_file.h"
#include "platform/win32/win32_platform.h"
#include "tests/wine/wine_test_support.h"

namespace zq::win32 {
namespace {

using test::FreshTestFolder;
using test::MakeLongFolder;
using test::Narrow;
using test::ReadFileBytes;
using test::WriteFileBytes;

// Wine's own export that names the host file behind a Windows path.
std::string HostPathOf(const WString& path) {
    using UnixFileName = char*(CDECL*)(const wchar_t*);
    // Through void(*)(), the one cast between function pointer types that
    // GCC takes as deliberate.
    auto unixFileName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (!unixFileName) {
        ADD_FAILURE() << "not running under Wine";
        return {};
    }
    char* name = unixFileName(path.c_str());
    if (!name) {
        ADD_FAILURE() << "no host path for " << Narrow(path);
        return {};
    }
    std::string host = name;
    ::HeapFree(::GetProcessHeap(), 0, name);
    return host;
}

bool Exists(const WString& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A host symbolic link at `link` that names `target` (both Windows paths in
// the prefix; the target need not exist): what a program outside Windows'
// view, or Windows' own CreateSymbolicLinkW, leaves in the folder. Made by
// the host's ln, which Wine starts as a host program; a marker file says
// when it is done, since Wine gives no exit status for a host program.
void PlantHostLink(const WString& link, const WString& target) {
    const WString marker = link + L".planted";
    const std::string command =
        "ln -s '" + HostPathOf(target) + "' '" + HostPathOf(link) + "' && : > '" + HostPathOf(marker) + "'";
    WString commandLine = L"Z:\\bin\\sh -c \"" + WString(command.begin(), command.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(
        ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        << ::GetLastError();
    ScopedHandle process(started.hProcess);
    ScopedHandle thread(started.hThread);
    for (int i = 0; i < 500 && !Exists(marker); ++i) ::Sleep(20);
    ASSERT_TRUE(Exists(marker)) << "the host's ln made no link at " << Narrow(link);
    ::DeleteFileW(marker.c_str());
}

enum class Planted { LinkToAFileOutside, LinkToNothing };
enum class PlantedWhen { BeforeTheChoice, BeforeTheFirstLine };

TEST(LogFileUnderWine, ALinkAtTheNameIsNeverWrittenThrough) {
    for (Planted planted : {Planted::LinkToAFileOutside, Planted::LinkToNothing}) {
        for (PlantedWhen when : {PlantedWhen::BeforeTheChoice, PlantedWhen::BeforeTheFirstLine}) {
            SCOPED_TRACE(testing::Message()
                         << "planted " << static_cast<int>(planted) << " when " << static_cast<int>(when));
            // Folders of each case's own: a link to nothing cannot be
            // deleted through Windows' view of it.
            const WString tag = std::to_wstring(static_cast<int>(planted)) + std::to_wstring(static_cast<int>(when));
            const WString temp = FreshTestFolder(L"log-link-temp" + tag);
            const WString outside = FreshTestFolder(L"log-link-outside" + tag);
            WriteFileBytes(outside + L"\\system.ini", "[keep]\r\n");
            const WString target =
                planted == Planted::LinkToAFileOutside ? outside + L"\\system.ini" : outside + L"\\created.dll";
            const WString name = temp + L"\\zqmerlesetup000.log";
            test::ScopedRuntimeVariable scopedTemp(L"TEMP", temp);
            Win32Platform machine;
            if (when == PlantedWhen::BeforeTheChoice) PlantHostLink(name, target);
            CLogFile log(machine.Get());
            if (when == PlantedWhen::BeforeTheFirstLine) {
                // Wine reads a link to nothing as missing, so the choice
                // takes the name; the creation must refuse it.
                PlantHostLink(name, target);
            }
            EXPECT_EQ(log.LogMessage(LOG_HIGH, L"+++ banner"), 1);
            EXPECT_EQ(log.LogMessage(LOG_HIGH, L"second line"), 1);

            EXPECT_EQ(log.Path(), temp + L"\\zqmerlesetup001.log");
            EXPECT_EQ(ReadFileBytes(outside + L"\\system.ini"), "[keep]\r\n");
            EXPECT_FALSE(Exists(outside + L"\\created.dll")) << "the link's missing target was created";
            const std::vector<std::string> lines = test::SplitCrLfLines(ReadFileBytes(temp + L"\\zqmerlesetup001.log"));
            ASSERT_EQ(lines.size(), 2u);
            EXPECT_EQ(lines[0].substr(21), "+++ banner");
            EXPECT_EQ(lines[1].substr(21), "second line");
        }
    }
}

// The shell's probe failed on both: a TEMP that ends in a backslash gave a
// doubled one, and a TEMP of 240 characters names of 260. Each time the run
// found no earlier log, took 000 and appended to it.
TEST(LogFileUnderWine, AnEarlierLogStaysAsItWasWhateverTheTemp) {
    const WString parent = FreshTestFolder(L"log-temp-spellings");
    const WString plain = parent + L"\\plain";
    ASSERT_TRUE(::CreateDirectoryW(plain.c_str(), nullptr));
    const WString longTemp = MakeLongFolder(parent + L"\\long", 240);
    ASSERT_EQ(longTemp.size(), 240u);
    struct Row {
        WString temp, folder;
    } rows[] = {
        {plain + L"\\", plain + L"\\"},
        {longTemp, longTemp + L"\\"},
        {longTemp + L"\\", longTemp + L"\\"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.temp.size());
        const WString earlier = row.folder + L"zqmerlesetup000.log";
        const WString mine = row.folder + L"zqmerlesetup001.log";
        WriteFileBytes(ExtendedLengthPath(earlier), "[03/07/2009 09:05:02]earlier run\r\n");
        ::DeleteFileW(ExtendedLengthPath(mine).c_str());
        test::ScopedRuntimeVariable scopedTemp(L"TEMP", row.temp);
        Win32Platform machine;
        {
            CLogFile log(machine.Get());
            EXPECT_EQ(log.LogMessage(LOG_HIGH, L"this run"), 1);
            EXPECT_EQ(log.Path(), mine);
        }
        EXPECT_EQ(ReadFileBytes(ExtendedLengthPath(earlier)), "[03/07/2009 09:05:02]earlier run\r\n");
        const std::vector<std::string> lines = test::SplitCrLfLines(ReadFileBytes(ExtendedLengthPath(mine)));
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].substr(21), "this run");
    }
}

}  // namespace
}  // namespace zq::win32
