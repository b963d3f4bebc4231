// The seam between the launcher and the operating system.
//
// The core (app/, launch/, checks/, plugin/, run/, ui/, settings/, log/) reaches
// Windows only through these interfaces. Two implementations exist side by
// side: platform/win32/ (the real API calls) and platform/sim/ (a simulated
// Windows machine on which the whole flow runs on Linux). Each interface is
// one platform service in the launcher's own terms; on the Win32 side a
// method is one API call and its failure answer.
//
// Strings are WString: every element is one UTF-16 code unit, on every
// build, so searches, lengths and cuts behave as on Windows.
//
// A result whose loss would hide a failure (a write, a start, a wait, a
// delete) is [[nodiscard]]; a caller that means to go on whatever happened
// says so with (void) and a comment. GCC 12 does not warn for such a call
// through an interface; the clang build of fuzz/ does, and stops on it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog.h"

namespace zq {

using WString = std::wstring;
using ErrorCode = std::uint32_t;  // a Windows system error code; 0 is success

// Windows error codes the core names by value.
inline constexpr ErrorCode kErrorFileNotFound = 2;
inline constexpr ErrorCode kErrorAccessDenied = 5;
inline constexpr ErrorCode kErrorInvalidHandle = 6;
inline constexpr ErrorCode kErrorWriteFault = 29;
inline constexpr ErrorCode kErrorFileExists = 80;
inline constexpr ErrorCode kErrorAlreadyExists = 183;

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// ---------------------------------------------------------------------------
// Process and environment (kernel32)

enum class MutexOutcome {
    Created,         // a handle came back and the object is new
    AlreadyExisted,  // a handle came back with ERROR_ALREADY_EXISTS
    NoHandle,        // creation failed; the run goes on as if alone
};

class IProcessEnvironment {
public:
    virtual ~IProcessEnvironment() = default;
    // GetModuleFileNameW: the program file's full path (at most 260 characters).
    virtual WString ModulePath() = 0;
    // The argument text: what follows the program name on the command line.
    virtual WString ArgumentText() = 0;
    // GetCurrentDirectoryW; nullopt when the query fails (length 0).
    virtual std::optional<WString> CurrentDirectory() = 0;
    // GetWindowsDirectoryW, without a trailing backslash.
    virtual WString WindowsDirectory() = 0;
    // GetSystemDirectoryW (the system folder, "...\system32").
    virtual WString SystemDirectory() = 0;
    // _wgetenv: nullopt when the variable is not set.
    virtual std::optional<WString> EnvironmentVariable(const WString& name) = 0;
    virtual LocalTime Now() = 0;                    // GetLocalTime
    virtual std::uint16_t UserDefaultLangID() = 0;  // GetUserDefaultLangID
    virtual void Sleep(unsigned milliseconds) = 0;
    // CreateMutexW without initial ownership; the handle stays open for the
    // life of the process.
    [[nodiscard]] virtual MutexOutcome CreateNamedMutex(const WString& name) = 0;
    // InitCommonControlsEx with ICC_WIN95_CLASSES.
    virtual void InitCommonControls() = 0;
    // FormatMessageW(FROM_SYSTEM | IGNORE_INSERTS | ALLOCATE_BUFFER, language
    // 0): the system's text for a code, line end included; empty when none.
    virtual WString SystemMessage(ErrorCode code) = 0;
    virtual ErrorCode LastError() = 0;  // GetLastError
};

// ---------------------------------------------------------------------------
// Operating-system version

struct VersionRequest {
    unsigned major = 0, minor = 0;
    std::uint16_t servicePackMajor = 0, servicePackMinor = 0;
};

// The IsWow64Process entry point as looked up at start: empty when the
// system has no such function. Called, it answers the WOW64 flag of the
// current process, or nullopt when the call fails.
using IsWow64ProcessFn = std::function<std::optional<bool>()>;

class ISystemVersion {
public:
    virtual ~ISystemVersion() = default;
    // VerifyVersionInfoW with type mask 0x33: major and minor VER_EQUAL,
    // service-pack major and minor VER_GREATER_EQUAL.
    virtual bool VerifyVersion(const VersionRequest& request) = 0;
    // GetProcAddress(GetModuleHandleW("kernel32"), "IsWow64Process").
    virtual IsWow64ProcessFn LookupIsWow64Process() = 0;
    // The low byte of GetVersion(): the major version number.
    virtual unsigned MajorVersion() = 0;
};

// ---------------------------------------------------------------------------
// Files

// A file that this run created and holds open for writing. Others may read
// it meanwhile, but not write to it, rename it or delete it. Closed when it
// goes.
class INewFile {
public:
    virtual ~INewFile() = default;  // CloseHandle
    // WriteFile of all the bytes at the end of what was written before;
    // false when not all of them were written.
    [[nodiscard]] virtual bool Write(const std::string& bytes) = 0;
};

struct NewFileCreation {
    std::unique_ptr<INewFile> file;  // null when nothing was created
    ErrorCode error = 0;             // kErrorFileExists when the name is taken
};

// A file open for reading, read from its start onward.
class IReadableFile {
public:
    virtual ~IReadableFile() = default;  // CloseHandle
    // GetFileSize at the open: the low 32 bits are all that count.
    virtual std::size_t Size() const = 0;
    // One ReadFile of up to `count` bytes, from where the last read ended,
    // into `buffer` from index `at`. The buffer is grown to at + count when
    // it is smaller (its first `at` bytes kept) and never cut; a growth that
    // finds no memory throws std::bad_alloc, as every allocation does. The
    // number of bytes read (0 at the end of the file), or nullopt when the
    // read fails.
    virtual std::optional<std::size_t> ReadInto(std::vector<std::uint8_t>& buffer, std::size_t at,
                                                std::size_t count) = 0;
};

class IFiles {
public:
    virtual ~IFiles() = default;
    // Whether anything of that name exists: a file, a folder, or a link
    // even when what it names is missing. Every spelling and every length
    // of a path is seen (GetFileAttributesW on the full path in its
    // extended-length \\?\ form); only "file not found" and "path not
    // found" count as missing.
    virtual bool Exists(const WString& path) = 0;
    // Whether the path names an existing file (a folder is not a file).
    virtual bool IsExistingFile(const WString& path) = 0;
    // CreateFileW(GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW,
    // FILE_FLAG_OPEN_REPARSE_POINT) on the full path in its \\?\ form: a
    // file that did not exist before, or none. A name that is taken by
    // anything, a link or a junction included, is refused with
    // kErrorFileExists, so nothing that a name points to is ever opened.
    [[nodiscard]] virtual NewFileCreation CreateNewFile(const WString& path) = 0;
    // FindFirstFileW / FindNextFileW / FindClose over a wildcard pattern:
    // the names of the matching entries in the platform's order (empty when
    // there is none).
    virtual std::vector<WString> ListMatching(const WString& pattern) = 0;
    // CreateFileW(GENERIC_READ, no sharing, OPEN_EXISTING) and GetFileSize:
    // the open file, or null when it cannot be opened (missing, a folder,
    // held open by another process).
    virtual std::unique_ptr<IReadableFile> OpenUnshared(const WString& path) = 0;
    // OpenUnshared and one read of the whole content into the front of
    // `buffer`: its first `size` bytes are the file's. The buffer only grows
    // (it is made at least as large as the file and never cut), so many
    // files read into one buffer cost no zero-filling once it has reached
    // the largest. False when the file cannot be opened or read.
    bool ReadWholeFileUnshared(const WString& path, std::vector<std::uint8_t>& buffer, std::size_t& size) {
        std::unique_ptr<IReadableFile> file = OpenUnshared(path);
        if (!file) return false;
        const std::optional<std::size_t> read = file->ReadInto(buffer, 0, file->Size());
        if (!read) return false;
        size = *read;
        return true;
    }
    // CopyFileW, replacing an existing target.
    [[nodiscard]] virtual bool CopyFileReplacing(const WString& from, const WString& to) = 0;
    // MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH): the
    // file takes the target's name in one step, replacing what had it (a
    // link at the target is replaced, not followed). 0, or the system error
    // code.
    [[nodiscard]] virtual ErrorCode MoveFileReplacing(const WString& from, const WString& to) = 0;
    // DeleteFileW: 0, or the system error code.
    [[nodiscard]] virtual ErrorCode RemoveFile(const WString& path) = 0;
};

// ---------------------------------------------------------------------------
// Profile strings (INI files)

class IProfileStrings {
public:
    virtual ~IProfileStrings() = default;
    // GetPrivateProfileStringW(section, key, defaultValue, buffer of
    // bufferChars characters, path): the value, or the default when the
    // file, section or key is missing; cut to bufferChars - 1 characters.
    virtual WString GetString(const WString& section, const WString& key, const WString& defaultValue,
                              std::size_t bufferChars, const WString& path) = 0;
};

// ---------------------------------------------------------------------------
// Processes

class IRunningProcess {
public:
    virtual ~IRunningProcess() = default;  // closes the process and thread handles
    // WaitForSingleObject(INFINITE): 0 once the process has ended, else the
    // system error code of the failed wait.
    [[nodiscard]] virtual ErrorCode WaitForEnd() = 0;
    // GetExitCodeProcess, once WaitForEnd has seen the end: 0 with the
    // program's exit code in `code`, else the system error code.
    [[nodiscard]] virtual ErrorCode ExitCode(std::uint32_t& code) = 0;
};

struct ProcessStart {
    std::unique_ptr<IRunningProcess> process;  // null when not started
    ErrorCode error = 0;                       // CreateProcessW's error when not started
};

struct ProcessEntry {
    WString exeName;  // the executable file name, without its folder
    std::uint32_t pid = 0;
};

// A process opened for termination only. While the handle is held, the
// process's id cannot pass to another process, even if it ends.
class IOpenedProcess {
public:
    virtual ~IOpenedProcess() = default;  // CloseHandle
    // TerminateProcess(exit code 0); false when it fails.
    [[nodiscard]] virtual bool Terminate() = 0;
};

class IProcesses {
public:
    virtual ~IProcesses() = default;
    // CreateProcessW with the launcher's environment and current directory,
    // no inherited handles, default start-up information. With an empty
    // applicationPath the program is found from the command line by the
    // system's rules; otherwise applicationPath (a full path) is the program
    // and the command line only its arguments' carrier.
    [[nodiscard]] virtual ProcessStart Start(const WString& commandLine, const WString& applicationPath = {}) = 0;
    // CreateToolhelp32Snapshot / Process32FirstW / Process32NextW;
    // nullopt when no snapshot can be taken.
    virtual std::optional<std::vector<ProcessEntry>> Snapshot() = 0;
    // OpenProcess(PROCESS_TERMINATE, handle not inheritable): null when the
    // process cannot be opened (gone, or access denied).
    virtual std::unique_ptr<IOpenedProcess> OpenForTerminate(std::uint32_t pid) = 0;
};

// ---------------------------------------------------------------------------
// Registry (HKEY_LOCAL_MACHINE)

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegDword = 4;

struct RegistryValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;  // the raw bytes, strings in UTF-16LE
};

// A value read at whatever length it has.
struct RegistryRead {
    ErrorCode error = 0;  // 0, or kErrorFileNotFound when there is no such value
    RegistryValue value;
};

class IRegistryKey {
public:
    virtual ~IRegistryKey() = default;  // RegCloseKey
    // RegQueryValueExW into a buffer of bufferBytes bytes: nullopt when the
    // value is missing or larger than the buffer.
    virtual std::optional<RegistryValue> QueryValue(const WString& name, std::size_t bufferBytes) = 0;
    // RegQueryValueExW into a buffer as large as the value: its whole data.
    virtual RegistryRead ReadWholeValue(const WString& name) = 0;
    // RegSetValueExW; 0 on success.
    [[nodiscard]] virtual ErrorCode SetString(const WString& name, const WString& text) = 0;
    [[nodiscard]] virtual ErrorCode SetDword(const WString& name, std::uint32_t value) = 0;
};

enum class RegistryAccess { Read, Write };
enum class RegistryView { Default, Force64 };  // Force64 adds KEY_WOW64_64KEY

class IRegistry {
public:
    virtual ~IRegistry() = default;
    // RegOpenKeyExW below HKEY_LOCAL_MACHINE; never creates a key.
    virtual std::unique_ptr<IRegistryKey> OpenLocalMachineKey(const WString& subKey, RegistryAccess access,
                                                              RegistryView view = RegistryView::Default) = 0;
};

// ---------------------------------------------------------------------------
// Print spooler

// PRINTER_INFO_2W without its device mode and security descriptor: what
// the launcher reads of a printer, and all it needs to add it again.
struct PrinterRecord {
    WString name{}, port{}, driver{};
    WString printProcessor{}, dataType{}, shareName{}, location{}, comment{}, separatorFile{}, parameters{};
    std::uint32_t attributes = 0, priority = 0, defaultPriority = 0, startTime = 0, untilTime = 0;
};

class IPrinter {
public:
    virtual ~IPrinter() = default;                 // ClosePrinter
    [[nodiscard]] virtual ErrorCode Delete() = 0;  // DeletePrinter; 0 on success
    // SetPrinterDataW(REG_SZ): a text value of the printer's driver data
    // (its PrinterDriverData key, made when missing); 0 on success.
    [[nodiscard]] virtual ErrorCode SetDataText(const WString& name, const WString& text) = 0;
};

struct PrinterOpen {
    std::unique_ptr<IPrinter> printer;  // null when the open failed
    ErrorCode error = 0;
};

class ISpooler {
public:
    virtual ~ISpooler() = default;
    // EnumPrintersW(PRINTER_ENUM_LOCAL, level 2): nullopt when it fails.
    virtual std::optional<std::vector<PrinterRecord>> EnumLocalPrinters() = 0;
    // OpenPrinterW(name, defaults with PRINTER_ALL_ACCESS).
    virtual PrinterOpen Open(const WString& printerName) = 0;
    // AddPrinterW(level 2) with the record's fields, no device mode and no
    // security descriptor; the printer handle is closed at once. 0 on
    // success, else the system error code.
    [[nodiscard]] virtual ErrorCode Add(const PrinterRecord& printer) = 0;
};

// ---------------------------------------------------------------------------
// Service control manager

// A service's current state as QueryServiceStatus reports it
// (SERVICE_STOPPED ... SERVICE_PAUSED).
inline constexpr std::uint32_t kServiceStopped = 1;
inline constexpr std::uint32_t kServiceStopPending = 3;
inline constexpr std::uint32_t kServiceRunning = 4;

class IService {
public:
    virtual ~IService() = default;                // CloseServiceHandle
    [[nodiscard]] virtual ErrorCode Stop() = 0;   // ControlService(SERVICE_CONTROL_STOP)
    [[nodiscard]] virtual ErrorCode Start() = 0;  // StartServiceW without arguments
    // QueryServiceStatus: the current state; nullopt when the query fails.
    virtual std::optional<std::uint32_t> CurrentState() = 0;
};

struct ServiceOpen {
    std::unique_ptr<IService> service;
    ErrorCode error = 0;
};

class IServiceManager {
public:
    virtual ~IServiceManager() = default;                      // CloseServiceHandle
    virtual ServiceOpen OpenService(const WString& name) = 0;  // SERVICE_ALL_ACCESS
};

struct ServiceManagerOpen {
    std::unique_ptr<IServiceManager> manager;
    ErrorCode error = 0;
};

class IServices {
public:
    virtual ~IServices() = default;
    // OpenSCManagerW(local machine, default database, SC_MANAGER_ALL_ACCESS).
    virtual ServiceManagerOpen OpenManager() = 0;
};

// ---------------------------------------------------------------------------
// Threads and locks. The product must load on Windows XP, so threads and
// locks come from here (CreateThread and critical sections on Win32), never
// from std::thread in the core.

class ILock {
public:
    virtual ~ILock() = default;
    virtual void Acquire() = 0;
    virtual void Release() = 0;
};

class LockGuard {
public:
    explicit LockGuard(ILock& lock) : lock_(lock) { lock_.Acquire(); }
    ~LockGuard() { lock_.Release(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    ILock& lock_;
};

class IThread {
public:
    virtual ~IThread() = default;  // closes the handle; does not wait
    virtual void Join() = 0;       // waits until the thread has ended
};

// A manual-reset event (CreateEventW): Wait returns once it is set.
class IEvent {
public:
    virtual ~IEvent() = default;
    virtual void Set() = 0;
    virtual void Reset() = 0;
    virtual void Wait() = 0;
};

class IThreads {
public:
    virtual ~IThreads() = default;
    virtual std::unique_ptr<ILock> MakeLock() = 0;
    virtual std::unique_ptr<IEvent> MakeEvent() = 0;
    // Null when the thread cannot be created.
    virtual std::unique_ptr<IThread> Start(std::function<void()> body) = 0;
};

// ---------------------------------------------------------------------------
// User interface

class IUserInterface {
public:
    virtual ~IUserInterface() = default;
    // MessageBoxW without owner, MB_OK: returns the box's result.
    virtual int ShowMessageBox(const WString& caption, const WString& text) = 0;
    // A modal dialog from the program's template handler.TemplateId(), with
    // no owner window: the handler gets the dialog's messages. Returns the
    // result given to End (IDCANCEL after Escape), or -1 when the dialog
    // could not be created.
    virtual int RunModalDialog(IDialogHandler& handler) = 0;
    // Restarts the computer: enables SeShutdownPrivilege in the process's
    // token, then ExitWindowsEx(flags, reason). Nothing is tested or
    // reported. Never called on a machine that must keep running.
    virtual void RequestRestart(unsigned flags, unsigned reason) = 0;
};

// ---------------------------------------------------------------------------

// One machine: every service the launcher uses, chosen once at the edge (the
// Win32 entry point, or a test with a simulated machine) and handed in.
struct Platform {
    IProcessEnvironment& environment;
    ISystemVersion& version;
    IFiles& files;
    IProfileStrings& profile;
    IProcesses& processes;
    IRegistry& registry;
    ISpooler& spooler;
    IServices& services;
    IThreads& threads;
    IUserInterface& ui;
};

}  // namespace zq
