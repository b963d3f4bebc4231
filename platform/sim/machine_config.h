// The state of a simulated machine, as machine.json describes it. The
// reference for package authors is docs/machine-file.md, with the JSON
// Schema docs/machine-file.schema.json beside it; a key added here goes
// into both (a host test holds the schema to the keys the reader asks for).
//
// Every key is optional; the defaults are those of a 32-bit Windows XP
// (5.1, service pack 3) with an English user:
//
//   {
//     "program": "C:\\Package\\zqmerlesetup.exe",
//     "argumentText": "",
//     "currentDirectory": "C:\\Package",        (null: the query fails)
//     "windowsDirectory": "C:\\Windows",
//     "environment": {"TEMP": "C:\\Temp"},      (a missing TEMP is unset)
//     "userLanguage": 1033,
//     "ansiCodePage": 1252,                     (CP_ACP: how files without a byte-order
//                                                mark decode; 1250, 1251, 1252, 1253,
//                                                1254, 1257 or 932; a Russian Windows
//                                                has 1251, a Japanese one 932)
//     "localTime": "2009-03-07T09:05:02",
//     "os": {"major": 5, "minor": 1, "servicePackMajor": 3, "servicePackMinor": 0,
//            "bits": 32, "isWow64ProcessAvailable": true, "isWow64ProcessFails": false},
//     "otherInstanceRunning": false, "mutexCreationFails": false,
//     "lockedFiles": ["C:\\Windows\\inf\\oem2.inf"],
//     "largestAllocationBytes": null,
//     "programs": {"C:\\Package\\setup\\zqprep.exe": {"runSeconds": 45, "exitCode": 0}},
//     "processes": [{"name": "zqnotify.exe", "pid": 100, "terminateFails": false,
//                    "pidReusedBy": "notepad.exe"}],
//     "snapshotFails": false,
//     "services": {"zqdevsvc": {"state": "running", "stopSeconds": 2}}, "scmOpenFails": false,
//     "printers": [{"name": "Merle", "port": "IP_10.0.0.5", "driver": "ZQ Merle 5400 Series",
//                   "openFails": false, "deleteFails": false,
//                   "printProcessor": "WinPrint", "dataType": "RAW", "shareName": "", "location": "",
//                   "comment": "", "separatorFile": "", "parameters": "", "attributes": 0,
//                   "priority": 1, "defaultPriority": 0, "startTime": 0, "untilTime": 0}],
//     "enumPrintersFails": false,
//     "addPrinterFails": false,                 (AddPrinterW refuses every printer)
//     "printui": {"fails": false, "runSeconds": 2, "failsFor": ["Office"]},
//                                               (fails only for these printer names)
//     "registry": {"HKLM\\SOFTWARE\\Zelt\\Pictavo": {"InstallFolder": "C:\\Pictavo",
//                  "Count": 3, "Path": {"type": "REG_EXPAND_SZ", "data": "%SystemRoot%"}}},
//     "user": {"messageBox": "ok", "finishCheckBox": false, "finishAction": "finish",
//              "copyDialogEscapeAfterSeconds": null}
//   }
//
// A process's "pidReusedBy" (absent by default) names a process that takes
// its id between a snapshot and what follows it: right after the first
// snapshot that lists the process, it ends and a process of that name holds
// the same id (an id passing to another process, as Windows may do once a
// process has ended). Written back only while it has not happened.
//
// A service's "stopSeconds" (default 0) is how long it takes to stop: after
// an accepted stop request it reports stop-pending (3) for that much virtual
// time, then stopped (1). Meanwhile a start fails with 1056 and another stop
// with 1061, as on Windows. "state": "stopping" is a service whose stop is
// under way when the run starts; it ends "stopSeconds" after the start. A
// service still stopping when the state is written comes back as
// "stopping" with the time it has left as "stopSeconds". "stopSeconds" is
// written only when it is not 0.
//
// Registry keys are named where they really are. On a machine whose
// "os.bits" is 64 the launcher is a 32-bit program under WOW64: its opens of
// HKLM\SOFTWARE\X reach HKLM\SOFTWARE\Wow6432Node\X (where 32-bit
// programs, such as the imaging software and its 32-bit uninstaller,
// register), opens with the 64-bit flag (the printers' PrinterDriverData)
// see SOFTWARE\X itself, and HKLM\SYSTEM is the same in both views. Its
// paths into the system folder (windowsDirectory\system32) reach
// windowsDirectory\SysWOW64, except system32\catroot, catroot2,
// drivers\etc, logfiles, spool and (6.1 and later) driverstore; the
// built-in rundll32.exe is in both folders. A 32-bit machine has one view
// and no SysWOW64. lockedFiles and programs name files where they are.
//
// "largestAllocationBytes" is the largest block of memory that the
// launcher's process can get at once (null or missing: no limit). A 32-bit
// process has 2 GB of address space, in pieces, so a request for hundreds
// of megabytes in one block can fail however much memory is free: operator
// new then throws std::bad_alloc. On the simulated machine a file read
// whose buffer must grow beyond this size throws std::bad_alloc the same
// way.
//
// "user.finishCheckBox" is the person ticking the finish screen's box; a box
// that the launcher shows ticked and disabled ("-norestart") stays as it is.
//
// A key of the wrong type, an unknown key or an unknown registry value type
// is an error that names the file and the key; so is an "ansiCodePage" that
// is not one of the supported code pages, and any JSON error, a number
// beyond what a double holds (1e999) included. machine.json must be a
// regular file of at most 64 MiB; a FIFO, a device or a folder of that
// name is refused without being read.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/platform.h"

namespace zq::sim {

// The machine cannot be simulated; the message names the file and the problem.
class MachineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct OsConfig {
    unsigned major = 5, minor = 1;
    std::uint16_t servicePackMajor = 3, servicePackMinor = 0;
    int bits = 32;
    bool isWow64ProcessAvailable = true;
    bool isWow64ProcessFails = false;
};

struct ProgramConfig {
    WString path;  // as written
    double runSeconds = 0;
    std::uint32_t exitCode = 0;
};

struct ProcessConfig {
    WString name;
    std::uint32_t pid = 0;
    bool terminateFails = false;
    WString pidReusedBy;  // empty: the id stays this process's
};

struct ServiceConfig {
    WString name;
    bool running = false;
    double stopSeconds = 0;  // how long a stop takes
    // While a stop is under way: the virtual time, in milliseconds since the
    // start, at which the service reports stopped.
    std::optional<std::int64_t> stopEndsAtMs;
};

// A printer is its level-2 record and how the spooler treats it.
struct PrinterConfig : PrinterRecord {
    bool openFails = false;
    bool deleteFails = false;
};

struct PrintUiConfig {
    bool fails = false;
    std::vector<WString> failsFor;  // printer names the tool fails to install
    double runSeconds = 2;
};

struct RegistryValueConfig {
    WString name;
    std::uint32_t type = kRegSz;  // kRegSz, kRegExpandSz or kRegDword
    WString text;                 // for the string types
    std::uint32_t number = 0;     // for kRegDword
};

struct RegistryKeyConfig {
    WString path;  // below HKEY_LOCAL_MACHINE, as written, without "HKLM\"
    std::vector<RegistryValueConfig> values;
};

enum class FinishAction { Finish, Escape };

struct UserConfig {
    std::string messageBox = "ok";
    bool finishCheckBox = false;
    FinishAction finishAction = FinishAction::Finish;
    std::optional<double> copyDialogEscapeAfterSeconds;
};

struct EnvironmentVariable {
    WString name, value;
};

struct MachineConfig {
    WString program = L"C:\\Package\\zqmerlesetup.exe";
    WString argumentText;
    bool currentDirectoryFails = false;
    WString currentDirectory;  // empty: the folder of `program`
    WString windowsDirectory = L"C:\\Windows";
    std::vector<EnvironmentVariable> environment{{L"TEMP", L"C:\\Temp"}};
    std::uint16_t userLanguage = 1033;
    unsigned ansiCodePage = 1252;  // the system's ANSI code page (CP_ACP)
    LocalTime localTime{2009, 3, 7, 9, 5, 2};
    OsConfig os;
    bool otherInstanceRunning = false;
    bool mutexCreationFails = false;
    std::vector<WString> lockedFiles;
    // The largest block of memory the launcher's process can get at once;
    // nullopt: no limit. See the header comment.
    std::optional<std::uint64_t> largestAllocationBytes;
    std::vector<ProgramConfig> programs;
    std::vector<ProcessConfig> processes;
    bool snapshotFails = false;
    std::vector<ServiceConfig> services;
    bool scmOpenFails = false;
    std::vector<PrinterConfig> printers;
    bool enumPrintersFails = false;
    bool addPrinterFails = false;
    PrintUiConfig printui;
    std::vector<RegistryKeyConfig> registry;
    UserConfig user;
};

// The largest machine.json that is read: far above any machine, far below
// what a mistaken path (a disk image, a log) would cost.
inline constexpr std::uint64_t kMachineFileMaxBytes = std::uint64_t{64} << 20;

// Reads and checks a parsed machine.json; `fileName` is named in errors.
MachineConfig ParseMachineConfig(const nlohmann::json& document, const std::string& fileName);
// Parses machine.json's text. Any JSON error, a number out of range (1e999)
// included, is a MachineError naming the file and the key it is in.
nlohmann::json ParseMachineJson(const std::string& content, const std::string& fileName);
// Reads, parses and checks the file: a regular file of at most
// kMachineFileMaxBytes; anything else (a FIFO, a device, a folder) is
// refused without being opened for reading.
MachineConfig LoadMachineConfig(const std::string& fileName);
// Every key the reader accepts, as the path of its place: "os.major",
// "programs.*.runSeconds" (* for any name of a map), "processes[].name"
// ([] for each element of a list). Taken from the readers as they run, so
// that docs/machine-file.schema.json can be held to them.
std::vector<std::string> MachineConfigKeyPaths();
// The state in machine.json's schema.
nlohmann::ordered_json MachineConfigToJson(const MachineConfig& config);

// "2009-03-07T09:05:02"; nullopt when the text is not such a date and time.
std::optional<LocalTime> ParseLocalTime(const std::string& text);
std::string FormatLocalTime(const LocalTime& time);

}  // namespace zq::sim
