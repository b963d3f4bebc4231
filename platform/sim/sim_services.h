// The platform services of a simulated machine, each answering from the
// shared MachineCore. Internal to platform/sim; SimMachine hands them out.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/sim/machine_core.h"
#include "platform/sim/profile_listing.h"

namespace zq::sim {

inline constexpr ErrorCode kErrorPathNotFound = 3;
inline constexpr ErrorCode kErrorSharingViolation = 32;
inline constexpr ErrorCode kErrorInvalidName = 123;
inline constexpr ErrorCode kErrorServiceAlreadyRunning = 1056;
inline constexpr ErrorCode kErrorServiceCannotAcceptControl = 1061;
inline constexpr ErrorCode kErrorServiceDoesNotExist = 1060;
inline constexpr ErrorCode kErrorServiceNotActive = 1062;
inline constexpr ErrorCode kErrorKeyDeleted = 1018;
inline constexpr ErrorCode kErrorInvalidPrinterName = 1801;
inline constexpr ErrorCode kErrorPrinterAlreadyExists = 1802;

class SimEnvironment : public IProcessEnvironment {
public:
    explicit SimEnvironment(MachineCore& core) : core_(core) {}
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
    void InitCommonControls() override {}
    WString SystemMessage(ErrorCode code) override;
    ErrorCode LastError() override;

private:
    MachineCore& core_;
    std::set<WString> mutexes_;  // names created by this process
};

class SimVersion : public ISystemVersion {
public:
    explicit SimVersion(MachineCore& core) : core_(core) {}
    bool VerifyVersion(const VersionRequest& request) override;
    IsWow64ProcessFn LookupIsWow64Process() override;
    unsigned MajorVersion() override;

private:
    MachineCore& core_;
};

class SimFiles : public IFiles {
public:
    explicit SimFiles(MachineCore& core) : core_(core) {}
    bool Exists(const WString& path) override;
    bool IsExistingFile(const WString& path) override;
    NewFileCreation CreateNewFile(const WString& path) override;
    std::vector<WString> ListMatching(const WString& pattern) override;
    std::unique_ptr<IReadableFile> OpenUnshared(const WString& path) override;
    bool CopyFileReplacing(const WString& from, const WString& to) override;
    ErrorCode MoveFileReplacing(const WString& from, const WString& to) override;
    ErrorCode RemoveFile(const WString& path) override;

private:
    // An absolute folder as a caller wrote it (up to and with its last
    // separator), resolved, and its host path as written. A listing's reads
    // all lie in one folder, so it is resolved once for all of them.
    struct ReadFolder {
        WString text;
        WindowsPath path;
        std::string writtenHost;  // ends with '/'
    };

    bool Copy(const WString& from, const WString& to);
    ErrorCode Move(const WString& from, const WString& to);
    // The host path of `path` with every name as written, when `path` is an
    // absolute path whose last name resolves to itself; null otherwise. Sets
    // `name` to that last name. The result lives until the next call.
    const std::string* WrittenHostPathInFolder(const WString& path, std::wstring_view& name);
    MachineCore& core_;
    std::optional<ReadFolder> readFolder_;
    std::string readHostPath_;
};

class SimProfileStrings : public IProfileStrings {
public:
    explicit SimProfileStrings(MachineCore& core) : core_(core) {}
    WString GetString(const WString& section, const WString& key, const WString& defaultValue, std::size_t bufferChars,
                      const WString& path) override;
    // How many times a settings file has been decoded and parsed: once for
    // each content of each file that GetString read.
    std::uint64_t Scans() const;

private:
    // The scan of one settings file, kept while the file stays as it was.
    struct ScannedFile {
        std::array<std::int64_t, 6> stamp{};  // host device, inode, size, both times, mode
        unsigned codePage = 0;
        std::int64_t checkedAtNs = 0;  // when the stamp was last taken
        std::string bytes;
        ProfileListing listing;
    };
    const ProfileListing* Scan(const std::string& hostPath);

    MachineCore& core_;
    std::map<std::string, ScannedFile> scanned_;  // by host path
    std::uint64_t scans_ = 0;
};

class SimProcesses : public IProcesses {
public:
    explicit SimProcesses(MachineCore& core) : core_(core) {}
    ProcessStart Start(const WString& commandLine, const WString& applicationPath) override;
    std::optional<std::vector<ProcessEntry>> Snapshot() override;
    std::unique_ptr<IOpenedProcess> OpenForTerminate(std::uint32_t pid) override;

private:
    MachineCore& core_;
    std::uint32_t lastPid_ = 0;
};

class SimRegistry : public IRegistry {
public:
    explicit SimRegistry(MachineCore& core) : core_(core) {}
    std::unique_ptr<IRegistryKey> OpenLocalMachineKey(const WString& subKey, RegistryAccess access,
                                                      RegistryView view) override;

private:
    MachineCore& core_;
};

class SimSpooler : public ISpooler {
public:
    explicit SimSpooler(MachineCore& core) : core_(core) {}
    std::optional<std::vector<PrinterRecord>> EnumLocalPrinters() override;
    PrinterOpen Open(const WString& printerName) override;
    ErrorCode Add(const PrinterRecord& printer) override;

private:
    MachineCore& core_;
};

class SimServices : public IServices {
public:
    explicit SimServices(MachineCore& core) : core_(core) {}
    ServiceManagerOpen OpenManager() override;

private:
    MachineCore& core_;
};

class SimThreads : public IThreads {
public:
    std::unique_ptr<ILock> MakeLock() override;
    std::unique_ptr<IEvent> MakeEvent() override;
    std::unique_ptr<IThread> Start(std::function<void()> body) override;
};

class SimUserInterface : public IUserInterface {
public:
    explicit SimUserInterface(MachineCore& core) : core_(core) {}
    int ShowMessageBox(const WString& caption, const WString& text) override;
    int RunModalDialog(IDialogHandler& handler) override;
    void RequestRestart(unsigned flags, unsigned reason) override;

private:
    MachineCore& core_;
};

// Where a key that the launcher opens in `view` really is (below
// HKEY_LOCAL_MACHINE): on a 64-bit machine a default-view open of SOFTWARE\X
// reaches SOFTWARE\Wow6432Node\X.
WString RegistryKeyInView(const WString& subKey, RegistryView view, bool is64BitMachine);
// The registry key below HKEY_LOCAL_MACHINE that holds a printer's data.
WString PrinterRegistryKey(const WString& printerName);
// A new printer and its (empty) driver-data key, as the spooler makes them.
void AddPrinterToState(MachineConfig& state, const PrinterRecord& record);
// Removes a key and everything below it.
void DeleteRegistryTree(MachineConfig& state, const WString& subKey);
// Makes the key (and nothing else) when it is not there; returns it.
RegistryKeyConfig& EnsureRegistryKey(MachineConfig& state, const WString& subKey);

}  // namespace zq::sim
