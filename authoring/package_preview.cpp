#include "authoring/package_preview.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <sstream>
#include <system_error>

#include "base/text.h"
#include "authoring/log_records.h"
#include "platform/sim/machine_drives.h"
#include "app/sim/run_launcher.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/windows_path.h"

namespace zq::sim {

namespace fs = std::filesystem;

namespace {

// A temporary folder that is removed with everything in it.
class TemporaryFolder {
public:
    TemporaryFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = (fs::path(base && *base ? base : "/tmp") / "zqmerlesetup-preview-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!mkdtemp(buffer.data())) throw MachineError(pattern + ": no temporary folder can be made");
        path_ = buffer.data();
    }
    ~TemporaryFolder() {
        std::error_code error;
        fs::remove_all(path_, error);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

std::set<fs::path> LogFiles(const fs::path& folder) {
    std::set<fs::path> logs;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("zqmerlesetup", 0) == 0 && entry.path().extension() == ".log") logs.insert(entry.path());
    }
    return logs;
}

// The log's messages (log_records.h), each byte one character up to U+00FF.
std::vector<std::string> LogMessages(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> messages;
    for (const std::string& message : sim::LogMessages(bytes)) {
        WString text;
        for (char c : message) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
        messages.push_back(Utf16ToUtf8(text));
    }
    return messages;
}

std::vector<nlohmann::json> JournalEvents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<nlohmann::json> events;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) events.push_back(nlohmann::json::parse(line));
    }
    return events;
}

void CopyPackageInto(const fs::path& packageDir, const fs::path& machineDir, const MachineConfig& config) {
    const std::optional<WindowsPath> program = ParseAbsoluteWindowsPath(config.program);
    if (!program) throw MachineError(Utf16ToUtf8(config.program) + ": not a full Windows path");
    const MachineDrives drives(machineDir);
    if (!drives.MakeFolders(program->Parent())) {
        throw MachineError(Utf16ToUtf8(program->Parent().ToString()) + ": the package folder cannot be made");
    }
    std::error_code error;
    fs::copy(packageDir, drives.HostPath(program->Parent()),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    if (error) throw MachineError(packageDir.string() + ": the package cannot be copied: " + error.message());
}

}  // namespace

std::string DescribeMachine(const MachineConfig& config) {
    std::ostringstream text;
    text << "Windows " << config.os.major << "." << config.os.minor << " SP " << config.os.servicePackMajor << "."
         << config.os.servicePackMinor << ", " << config.os.bits << "-bit, user language " << config.userLanguage;
    return text.str();
}

std::vector<fs::path> MachineFolders(const fs::path& machinesDir) {
    std::error_code error;
    if (fs::is_regular_file(machinesDir / "machine.json", error)) return {machinesDir};
    std::vector<fs::path> folders;
    for (const fs::directory_entry& entry : fs::directory_iterator(machinesDir, error)) {
        if (fs::is_regular_file(entry.path() / "machine.json", error)) folders.push_back(entry.path());
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

MachinePreview PreviewOnMachine(const fs::path& packageDir, const fs::path& machineDir) {
    MachinePreview preview;
    preview.machine = machineDir.filename().string();
    try {
        const MachineConfig config = LoadMachineConfig((machineDir / "machine.json").string());
        preview.description = DescribeMachine(config);
        TemporaryFolder scratch;
        const fs::path copy = scratch.Path() / "machine";
        std::error_code error;
        fs::copy(machineDir, copy, fs::copy_options::recursive, error);
        if (error) throw MachineError(machineDir.string() + ": the machine cannot be copied: " + error.message());
        CopyPackageInto(packageDir, copy, config);

        SimMachine machine(copy, scratch.Path() / "journal.jsonl");
        const std::optional<WString> temp = machine.platform().environment.EnvironmentVariable(L"TEMP");
        const fs::path tempFolder = machine.HostPathOf(temp.value_or(L"\\"));
        // Every Windows has its temporary folder, but a machine folder kept in
        // version control cannot hold an empty one.
        fs::create_directories(tempFolder, error);
        const std::set<fs::path> logsBefore = LogFiles(tempFolder);
        const ProgramEnd end = RunLauncherOn(machine);

        std::vector<std::string> messages;
        for (const fs::path& log : LogFiles(tempFolder)) {
            if (!logsBefore.count(log)) messages = LogMessages(log);
        }
        preview.summary = SummariseRun(JournalEvents(machine.JournalPath()), messages);
        preview.summary->exit = PreviewExit{end.exitStatus, end.managed, end.exitCode, end.outcome};
    } catch (const MachineError& problem) {
        preview.error = problem.what();
    } catch (const nlohmann::json::exception& problem) {
        preview.error = std::string("the journal cannot be read: ") + problem.what();
    }
    return preview;
}

int RunPreview(const fs::path& packageDir, const fs::path& machinesDir, std::ostream& out, std::ostream& err) {
    std::error_code error;
    if (!fs::is_directory(packageDir, error)) {
        err << "zqmerlesetup-sim: " << packageDir.string() << ": no such package folder\n";
        return 2;
    }
    const std::vector<fs::path> machines = MachineFolders(machinesDir);
    if (machines.empty()) {
        err << "zqmerlesetup-sim: " << machinesDir.string() << ": no machine folders (with machine.json) there\n";
        return 2;
    }
    int status = 0;
    for (const fs::path& machineDir : machines) {
        const MachinePreview preview = PreviewOnMachine(packageDir, machineDir);
        const std::string heading =
            "== " + preview.machine + (preview.description.empty() ? "" : ": ") + preview.description;
        if (!preview.summary) {
            out << heading << "\n  cannot be simulated: " << preview.error << "\n";
            status = 2;
        } else {
            out << FormatSummary(heading, *preview.summary);
        }
        out << "\n";
    }
    return status;
}

}  // namespace zq::sim
