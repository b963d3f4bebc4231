// How fast the launcher finds (or fails to find) an installed driver on a
// large machine, against the least any search must do and against ripgrep.
//
// It makes a simulated machine in a temporary folder whose C:\Windows\inf
// holds 2,000 oem*.inf files in UTF-16LE (2 KB to 400 KB, about 150 MB),
// none of which holds the keyword, and measures on those same files:
//
//   detection     EnumMagicKeywords + FindInstalledDriver on a launcher over
//                 the simulated machine, log level 1 (no lines written) and
//                 127 (a "** Searching" line per file)
//   floor         each file opened, read whole with one read() into one
//                 reused buffer, closed; nothing else
//   ripgrep       rg -j1 -l -F --encoding utf-16le KEYWORD DIR
//   log line      one CLogFile::LogMessage through the file that the logger
//                 created (with the first line) and holds open
//   start-up      RunProgram from its start to the first program start, the
//                 driver found in the file that the listing names last
//
// Each figure is the median of several rounds, after one round that warms
// the page cache; the floor's and the detection's rounds take turns. Usage: zq_bench [--rounds N] [--dir PARENT]
// [--keep]
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/entry.h"
#include "base/text.h"
#include "checks/driver_detection.h"
#include "platform/sim/sim_machine.h"
#include "run/application.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kInfFiles = 2000;
constexpr std::size_t kSmallestFile = 2 * 1024;
constexpr std::size_t kLargestFile = 400 * 1024;
// Close to the generated printer names ("ZQ Merle 5300 Series PCL"), so the
// search meets many near misses, and in no file.
constexpr char kKeyword[] = "ZQ Merle 5400 Series PS";
// Only in the file that the listing names last: the start-up run finds the
// driver after searching every file.
constexpr char kLastFileMarker[] = "ZQ Merle Bench Marker";
constexpr char kProgram[] = "C:\\Package\\setup\\zqprep.exe";

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One warm-up round, then the median of `rounds` timed ones.
double MedianMs(int rounds, const std::function<double()>& timedRound) {
    timedRound();
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) times.push_back(timedRound());
    return Median(times);
}

class Random {
public:
    std::uint64_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
    std::uint64_t Below(std::uint64_t n) { return Next() % n; }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

// INF-like lines, with many printer names near the keyword.
std::string InfLine(Random& random) {
    char line[200];
    const unsigned model = static_cast<unsigned>(random.Below(90) + 10);
    switch (random.Below(8)) {
        case 0:
            std::snprintf(line, sizeof line, "\"ZQ Merle %u00 Series PCL\" = ZQM%04u.GPD, ZQ_Merle_%u", model / 10,
                          model, model);
            break;
        case 1: std::snprintf(line, sizeof line, "CopyFiles=@ZQM%04u.GPD,ZQUNIRES.DLL,ZQSTDNAM.GPD", model); break;
        case 2: std::snprintf(line, sizeof line, "ZQM%04u.GPD = 1,,,,,,,,,,,,,,,,,%u", model, model * 37); break;
        case 3: std::snprintf(line, sizeof line, "[ZQ_Merle_%u.NTx86]", model); break;
        case 4: std::snprintf(line, sizeof line, "DriverVer=06/21/2006,6.0.%u.0", model * 101); break;
        case 5:
            std::snprintf(line, sizeof line, "; ZQ Merle %u Series printer: driver files and registry entries",
                          model * 100);
            break;
        case 6: std::snprintf(line, sizeof line, "DataFile=ZQM%04u.GPD", model); break;
        default: std::snprintf(line, sizeof line, "Include=NTPRINT.INF"); break;
    }
    return std::string(line) + "\r\n";
}

std::string Utf16Le(const std::string& ascii) {
    std::string bytes;
    bytes.reserve(2 * ascii.size());
    for (char c : ascii) {
        bytes.push_back(c);
        bytes.push_back('\0');
    }
    return bytes;
}

// The file's size in bytes: many small files, a few large ones.
std::size_t FileSize(Random& random) {
    const double share = std::pow(random.Unit(), 4.5);
    return (kSmallestFile + static_cast<std::size_t>(share * (kLargestFile - kSmallestFile))) & ~std::size_t{1};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) throw std::runtime_error(path.string() + ": cannot be written");
}

std::string SettingsText(const std::string& keywords, int logLevel) {
    std::string text = "[Version]\r\nLog=" + std::to_string(logLevel) + "\r\n[OS_Support]\r\nos_list=501\r\n";
    text += "[CPE.MagicKeywords]\r\n" + keywords;
    text += "[Run]\r\n1=" + std::string(kProgram) + "\r\n[LangMap]\r\n0x0409=English\r\n[English]\r\n";
    text += "7=ZQ Merle Driver Refresh\r\n8=The ZQ Merle printer driver is not installed.\r\n";
    return text;
}

struct BenchMachine {
    fs::path dir;
    fs::path infDir;
    std::uint64_t infBytes = 0;
};

BenchMachine MakeMachine(const fs::path& parent) {
    std::string pattern = (parent / "zq-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error(pattern + ": no temporary folder");
    BenchMachine machine;
    machine.dir = pattern;
    const fs::path c = machine.dir / "drives" / "C";
    machine.infDir = c / "Windows" / "inf";
    fs::create_directories(machine.infDir);
    fs::create_directories(c / "Temp");
    fs::create_directories(c / "Package" / "setup");
    WriteFile(c / "Package" / "setup" / "zqprep.exe", "program");
    WriteFile(c / "Package" / "detect.inf", SettingsText("1=" + std::string(kKeyword) + "\r\n", 1));
    WriteFile(machine.dir / "machine.json",
              "{\"programs\": {\"C:\\\\Package\\\\setup\\\\zqprep.exe\": {\"runSeconds\": 0, \"exitCode\": 0}}}");

    Random random;
    for (int i = 0; i < kInfFiles; ++i) {
        const std::size_t size = FileSize(random);
        std::string text = Utf16Le(";\r\n; oem" + std::to_string(i) + ".inf\r\n[Version]\r\nClass=Printer\r\n");
        while (text.size() < size) text += Utf16Le(InfLine(random));
        text.resize(size);
        WriteFile(machine.infDir / ("oem" + std::to_string(i) + ".inf"), "\xFF\xFE" + text);
        machine.infBytes += size + 2;
    }
    return machine;
}

// --- The floor: listing, open, one read into a reused buffer, close.

std::uint64_t ReadEveryFile(const fs::path& folder, std::vector<char>& buffer) {
    std::uint64_t total = 0;
    DIR* listing = opendir(folder.c_str());
    if (!listing) throw std::runtime_error(folder.string() + ": cannot be listed");
    const int folderFd = dirfd(listing);
    while (const dirent* entry = readdir(listing)) {
        if (entry->d_name[0] == '.') continue;
        const int fd = openat(folderFd, entry->d_name, O_RDONLY);
        if (fd < 0) continue;
        struct stat status;
        if (fstat(fd, &status) == 0) {
            const auto size = static_cast<std::size_t>(status.st_size);
            if (buffer.size() < size) buffer.resize(size);
            const ssize_t got = read(fd, buffer.data(), size);
            if (got > 0) total += static_cast<std::uint64_t>(got);
        }
        close(fd);
    }
    closedir(listing);
    return total;
}

// --- ripgrep, one thread; nullopt when it cannot be started.

std::optional<int> RunRipgrep(const fs::path& folder) {
    std::vector<std::string> args = {"rg", "-j1", "-l", "-F", "--encoding", "utf-16le", kKeyword, folder.string()};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, "rg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) return std::nullopt;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return std::nullopt;
    return WEXITSTATUS(status);
}

bool HasRipgrep(const fs::path& folder) {
    const std::optional<int> status = RunRipgrep(folder);
    if (status && *status == 0) throw std::runtime_error("ripgrep found the keyword: the machine is wrong");
    return status && *status == 1;
}

// --- The launcher.

// The machine's processes, noting when the first program starts.
class TimedProcesses : public zq::IProcesses {
public:
    explicit TimedProcesses(zq::IProcesses& inner) : inner_(inner) {}
    zq::ProcessStart Start(const zq::WString& commandLine, const zq::WString& applicationPath) override {
        if (!firstStart_) firstStart_ = Clock::now();
        return inner_.Start(commandLine, applicationPath);
    }
    std::optional<std::vector<zq::ProcessEntry>> Snapshot() override { return inner_.Snapshot(); }
    std::unique_ptr<zq::IOpenedProcess> OpenForTerminate(std::uint32_t pid) override {
        return inner_.OpenForTerminate(pid);
    }
    std::optional<Clock::time_point> FirstStart() const { return firstStart_; }

private:
    zq::IProcesses& inner_;
    std::optional<Clock::time_point> firstStart_;
};

void RemoveLogs(const BenchMachine& machine) {
    for (const fs::directory_entry& entry : fs::directory_iterator(machine.dir / "drives" / "C" / "Temp"))
        fs::remove(entry.path());
}

double DetectionMs(zq::sim::SimMachine& sim, const BenchMachine& machine, int logLevel) {
    RemoveLogs(machine);
    zq::LauncherProcess process(sim.platform());
    process.g_iniFile.SetPath(L"C:\\Package\\detect.inf");
    process.g_logFile.SetLevel(logLevel);
    const Clock::time_point start = Clock::now();
    zq::EnumMagicKeywords(process);
    const bool found = zq::FindInstalledDriver(process);
    const double ms = Milliseconds(Clock::now() - start);
    if (found) throw std::runtime_error("the launcher found the keyword: the machine is wrong");
    return ms;
}

double LogLineMicroseconds(zq::sim::SimMachine& sim, const BenchMachine& machine) {
    constexpr int kLines = 2000;
    RemoveLogs(machine);
    zq::LauncherProcess process(sim.platform());
    process.g_logFile.SetLevel(zq::LOG_LOW);
    const zq::WString path = L"C:\\Windows\\inf\\oem1234.inf";
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kLines; ++i) process.g_logFile.LogMessage(zq::LOG_MEDIUM, L"** Searching %s", path);
    return Milliseconds(Clock::now() - start) * 1000.0 / kLines;
}

double StartUpMs(const BenchMachine& machine) {
    RemoveLogs(machine);
    zq::sim::SimMachine sim(machine.dir, machine.dir / "journal.jsonl");
    zq::Platform& inner = sim.platform();
    TimedProcesses processes(inner.processes);
    zq::Platform platform{inner.environment, inner.version, inner.files,    inner.profile, processes,
                          inner.registry,    inner.spooler, inner.services, inner.threads, inner.ui};
    const Clock::time_point start = Clock::now();
    zq::RunProgram(platform);
    if (!processes.FirstStart()) throw std::runtime_error("the launcher started no program");
    return Milliseconds(*processes.FirstStart() - start);
}

// The marker goes into the file that the listing names last, and the
// package's settings search for the keyword and the marker.
void PrepareStartUp(zq::sim::SimMachine& sim, const BenchMachine& machine, int logLevel) {
    const std::vector<zq::WString> names = sim.platform().files.ListMatching(L"C:\\Windows\\inf\\oem*.inf");
    const fs::path last = machine.infDir / zq::Utf16ToUtf8(names.back());
    std::ofstream(last, std::ios::binary | std::ios::app) << Utf16Le(std::string("\r\n; ") + kLastFileMarker + "\r\n");
    WriteFile(machine.dir / "drives" / "C" / "Package" / "autorun.inf",
              SettingsText("1=" + std::string(kKeyword) + "\r\n2=" + kLastFileMarker + "\r\n", logLevel));
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 7;
    fs::path parent = fs::temp_directory_path();
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--dir" && i + 1 < argc) parent = argv[++i];
        else if (arg == "--keep") keep = true;
        else {
            std::fprintf(stderr, "usage: %s [--rounds N] [--dir PARENT] [--keep]\n", argv[0]);
            return 2;
        }
    }

    std::printf("Making the machine: %d oem*.inf files ...\n", kInfFiles);
    const BenchMachine machine = MakeMachine(parent);
    std::printf("  %s: %.1f MB of UTF-16LE\n\n", machine.infDir.c_str(), machine.infBytes / 1e6);

    std::vector<char> buffer;
    std::uint64_t floorBytes = 0;
    const auto floorRound = [&] {
        const Clock::time_point start = Clock::now();
        floorBytes = ReadEveryFile(machine.infDir, buffer);
        return Milliseconds(Clock::now() - start);
    };

    // The floor and the detection take turns, round by round, so both meet
    // the same page cache and the same load on a shared machine.
    double floorMs = 0, detectionMs = 0, detectionLoggedMs = 0, logLineUs = 0;
    {
        zq::sim::SimMachine sim(machine.dir, machine.dir / "journal.jsonl");
        const auto detectionRound = [&] { return DetectionMs(sim, machine, zq::LOG_HIGH); };
        floorRound();
        detectionRound();
        std::vector<double> floorTimes, detectionTimes;
        for (int i = 0; i < rounds; ++i) {
            floorTimes.push_back(floorRound());
            detectionTimes.push_back(detectionRound());
        }
        floorMs = Median(floorTimes);
        detectionMs = Median(detectionTimes);
        detectionLoggedMs = MedianMs(rounds, [&] { return DetectionMs(sim, machine, zq::LOG_MEDIUM); });
        logLineUs = MedianMs(rounds, [&] { return LogLineMicroseconds(sim, machine); });
    }
    if (floorBytes != machine.infBytes)
        std::fprintf(stderr, "warning: the floor read %llu bytes\n", static_cast<unsigned long long>(floorBytes));

    std::optional<double> ripgrepMs;
    if (HasRipgrep(machine.infDir)) {
        ripgrepMs = MedianMs(rounds, [&] {
            const Clock::time_point start = Clock::now();
            RunRipgrep(machine.infDir);
            return Milliseconds(Clock::now() - start);
        });
    }

    double startUpMs = 0, startUpLoggedMs = 0;
    {
        zq::sim::SimMachine sim(machine.dir, machine.dir / "journal.jsonl");
        PrepareStartUp(sim, machine, zq::LOG_HIGH);
        startUpMs = MedianMs(rounds, [&] { return StartUpMs(machine); });
        PrepareStartUp(sim, machine, zq::LOG_MEDIUM);
        startUpLoggedMs = MedianMs(rounds, [&] { return StartUpMs(machine); });
    }

    std::printf("%-52s %10s\n", "measure (median of rounds after a warm-up)", "time");
    std::printf("%-52s %8.1f ms\n", "floor: open, one read, close per file", floorMs);
    if (ripgrepMs) std::printf("%-52s %8.1f ms\n", "ripgrep -j1 -l -F --encoding utf-16le", *ripgrepMs);
    else std::printf("%-52s %10s\n", "ripgrep -j1 (rg not found)", "-");
    std::printf("%-52s %8.1f ms\n", "detection, log level 1", detectionMs);
    std::printf("%-52s %8.1f ms\n", "detection, log level 127 (a line per file)", detectionLoggedMs);
    std::printf("%-52s %8.1f us\n", "one log line (LogMessage to a simulated file)", logLineUs);
    std::printf("%-52s %8.1f ms\n", "start-up to the first program, log level 1", startUpMs);
    std::printf("%-52s %8.1f ms\n", "start-up to the first program, log level 127", startUpLoggedMs);
    std::printf("\n%-52s %8.2f\n", "detection / floor", detectionMs / floorMs);
    if (ripgrepMs) std::printf("%-52s %8.2f\n", "detection / ripgrep", detectionMs / *ripgrepMs);

    if (!keep) {
        std::error_code error;
        fs::remove_all(machine.dir, error);
    } else {
        std::printf("\nmachine kept: %s\n", machine.dir.c_str());
    }
    return 0;
}
