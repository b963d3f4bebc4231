// The launcher's platform on real Windows: every service of
// platform/platform.h answered by the Win32 API.
//
// Each method is one API call and its failure answer; handles are owned by
// the wrappers of scoped_handle.h. The product is one 32-bit exe that must
// load on Windows XP, so only functions that XP's system DLLs export are
// imported; anything newer is looked up at run time (see
// tests/win32/xp-functions.txt, which the build's import check holds to).
#pragma once

#include <windows.h>

#include <vector>

#include "platform/platform.h"
#include "platform/win32/scoped_handle.h"

namespace zq::win32 {

// The argument text of a full command line, as the C runtime hands it to
// WinMain: the program token is skipped (a quoted one up to and including
// its closing quote, an unquoted one up to the first blank or tab), then
// the blanks and tabs after it.
WString ArgumentTextOf(const wchar_t* commandLine);

// The full path (GetFullPathNameW) in its extended-length form: "\\?\C:\..."
// or "\\?\UNC\server\share\...". Windows then takes the path as it is, of
// any length: without the prefix, a path of MAX_PATH characters or more
// fails on Windows before 10's long-path opt-in, XP included. The prefix
// also turns off Win32's normalisation, so it is applied to the full path,
// whose doubled separators, "." and ".." GetFullPathNameW has resolved
// already. A path already in a "\\?\" or "\\.\" form, or one that
// GetFullPathNameW refuses, comes back unchanged.
WString ExtendedLengthPath(const WString& path);

class Win32ProcessEnvironment final : public IProcessEnvironment {
public:
    WString ModulePath() override;
    WString ArgumentText() override;
    std::optional<WString> CurrentDirectory() override;
    WString WindowsDirectory() override;
    WString SystemDirectory() override;
    std::optional<WString> EnvironmentVariable(const WString& name) override;
    LocalTime Now() override;
    std::uint16_t UserDefaultLangID() override;
    void Sleep(unsigned milliseconds) override;
    MutexOutcome CreateNamedMutex(const WString& name) override;
    void InitCommonControls() override;
    WString SystemMessage(ErrorCode code) override;
    ErrorCode LastError() override;

private:
    // The single-instance mutex must stay open while the program runs; the
    // entry point keeps this object until the process ends.
    std::vector<ScopedHandle> namedMutexes_;
};

class Win32SystemVersion final : public ISystemVersion {
public:
    bool VerifyVersion(const VersionRequest& request) override;
    IsWow64ProcessFn LookupIsWow64Process() override;
    unsigned MajorVersion() override;
};

class Win32Files final : public IFiles {
public:
    bool Exists(const WString& path) override;
    bool IsExistingFile(const WString& path) override;
    NewFileCreation CreateNewFile(const WString& path) override;
    std::vector<WString> ListMatching(const WString& pattern) override;
    std::unique_ptr<IReadableFile> OpenUnshared(const WString& path) override;
    bool CopyFileReplacing(const WString& from, const WString& to) override;
    ErrorCode MoveFileReplacing(const WString& from, const WString& to) override;
    ErrorCode RemoveFile(const WString& path) override;
};

class Win32ProfileStrings final : public IProfileStrings {
public:
    WString GetString(const WString& section, const WString& key, const WString& defaultValue, std::size_t bufferChars,
                      const WString& path) override;
};

class Win32Processes final : public IProcesses {
public:
    ProcessStart Start(const WString& commandLine, const WString& applicationPath = {}) override;
    std::optional<std::vector<ProcessEntry>> Snapshot() override;
    std::unique_ptr<IOpenedProcess> OpenForTerminate(std::uint32_t pid) override;
};

class Win32Registry final : public IRegistry {
public:
    std::unique_ptr<IRegistryKey> OpenLocalMachineKey(const WString& subKey, RegistryAccess access,
                                                      RegistryView view) override;
};

// The spooler's four functions, found in winspool.drv at run time.
struct SpoolerFunctions;

class Win32Spooler final : public ISpooler {
public:
    Win32Spooler();
    ~Win32Spooler() override;
    Win32Spooler(const Win32Spooler&) = delete;
    Win32Spooler& operator=(const Win32Spooler&) = delete;

    std::optional<std::vector<PrinterRecord>> EnumLocalPrinters() override;
    PrinterOpen Open(const WString& printerName) override;
    ErrorCode Add(const PrinterRecord& printer) override;

private:
    // Loads winspool.drv on first use; null (with the last error set) when
    // it cannot be loaded or lacks one of the functions.
    const SpoolerFunctions* Functions();

    ScopedModule module_;
    std::unique_ptr<SpoolerFunctions> functions_;
};

class Win32Services final : public IServices {
public:
    ServiceManagerOpen OpenManager() override;
};

class Win32Threads final : public IThreads {
public:
    std::unique_ptr<ILock> MakeLock() override;
    std::unique_ptr<IEvent> MakeEvent() override;
    std::unique_ptr<IThread> Start(std::function<void()> body) override;
};

class Win32UserInterface final : public IUserInterface {
public:
    int ShowMessageBox(const WString& caption, const WString& text) override;
    // dialog_runner.cpp: every dialog template of the program runs through
    // this one runner.
    int RunModalDialog(IDialogHandler& handler) override;
    // restart.cpp.
    void RequestRestart(unsigned flags, unsigned reason) override;
};

// One real machine: the services above, handed to the core as a Platform.
class Win32Platform {
public:
    Win32Platform() = default;
    // With another user interface in place of the real one: tests record
    // the restart request with it instead of making it.
    explicit Win32Platform(IUserInterface& ui)
        : platform_{environment_, version_, files_,    profile_, processes_,
                    registry_,    spooler_, services_, threads_, ui} {}
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    Platform& Get() { return platform_; }

private:
    Win32ProcessEnvironment environment_;
    Win32SystemVersion version_;
    Win32Files files_;
    Win32ProfileStrings profile_;
    Win32Processes processes_;
    Win32Registry registry_;
    Win32Spooler spooler_;
    Win32Services services_;
    Win32Threads threads_;
    Win32UserInterface ui_;
    Platform platform_{environment_, version_, files_,    profile_, processes_,
                       registry_,    spooler_, services_, threads_, ui_};
};

}  // namespace zq::win32
