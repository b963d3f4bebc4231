// Helpers for tests that run in the Wine prefix: fresh folders, whole-file
// reads and writes, and the paths of this build's programs as Windows sees
// them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zq::test {

// The folder C:\zqtest\<name>, created empty (anything an earlier run left
// there is removed first).
WString FreshTestFolder(const WString& name);
// A folder path of `length` characters below `parent`, made with every
// folder above it; it may be longer than MAX_PATH.
WString MakeLongFolder(const WString& parent, std::size_t length);

// The file's bytes; fails the current test when it cannot be read.
std::string ReadFileBytes(const WString& path);
void WriteFileBytes(const WString& path, const std::string& bytes);

// The lines of a CR LF text, without their line ends.
std::vector<std::string> SplitCrLfLines(const std::string& text);

std::string Narrow(const WString& text);  // ASCII only, for messages and comparisons

// Whether the Windows the test runs on is 64-bit (GetNativeSystemInfo),
// whatever this program's word size.
bool IsSixtyFourBitWindows();

// The registry view in which this program's default view of HKLM\SOFTWARE
// lies (KEY_WOW64_32KEY for the 32-bit build, KEY_WOW64_64KEY for the
// 64-bit one), and the other one. On 32-bit Windows both name the one view.
REGSAM OwnRegistryView();
REGSAM OtherRegistryView();

// A REG_SZ value below HKEY_LOCAL_MACHINE in the given view, its key made
// when missing; fails the current test when it cannot be written.
void WriteLocalMachineString(const WString& subKey, const WString& name, const WString& value, REGSAM view);
// Deletes a key without subkeys below HKEY_LOCAL_MACHINE in both views.
void DeleteLocalMachineKeyInBothViews(const WString& subKey);

// Runs a command line with CreateProcessW and waits for it; its exit code,
// or ~0u when it could not be started.
DWORD RunAndWait(const WString& commandLine);

// Sets an environment variable of this process for the life of the object
// (children started meanwhile inherit it), then restores the old value.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(const WString& name, const WString& value);
    ~ScopedEnvironmentVariable();
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    WString name_;
    WString oldValue_;
    bool hadValue_ = false;
};

// The same in the C runtime's copy of the environment (_wputenv, which
// changes the process environment too): the copy that the launcher reads
// TEMP from.
class ScopedRuntimeVariable {
public:
    ScopedRuntimeVariable(const WString& name, const WString& value);
    ~ScopedRuntimeVariable();
    ScopedRuntimeVariable(const ScopedRuntimeVariable&) = delete;
    ScopedRuntimeVariable& operator=(const ScopedRuntimeVariable&) = delete;

private:
    WString name_;
    WString oldValue_;  // an unset variable comes back as an empty one
};

inline const WString kExePath = ZQ_EXE_WINDOWS;               // this build's zqmerlesetup.exe
inline const WString kTestChildPath = ZQ_TEST_CHILD_WINDOWS;  // zq_test_child.exe
inline const WString kSourceDir = ZQ_SOURCE_DIR_WINDOWS;      // the project's sources

}  // namespace zq::test
