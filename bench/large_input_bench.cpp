// How the authors' tools and the simulated machine fare on large input that
// an author can produce, each measure on a machine or file made for it in a
// temporary folder:
//
//   check, keys       RunCheck on a settings file whose [CPE.MagicKeywords]
//                     holds N numbered keys (1=..., 2=..., about 300 KB
//                     for 20,000)
//   check, sections   RunCheck on a settings file of N sections, one key each
//   run, [Run] keys   RunProgram on a simulated machine whose settings file
//                     names N programs in [Run] (each started and awaited)
//   listing           ListMatching("C:\Windows\inf\oem*.inf") over N files
//                     named oem<i>.infx, then over N named oemprinter<i>.infx
//                     (all of one start): none matches by its long name, so
//                     each needs its short (8.3) name
//   detection         EnumMagicKeywords + FindInstalledDriver over those
//                     files (each one listed, opened and searched)
//
// Each figure is the median of several rounds after one warm-up round.
// Usage: zq_bench_large [--rounds N] [--dir PARENT] [--keys N] [--sections N]
//                       [--run-keys N] [--names N]
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/entry.h"
#include "authoring/checker_report.h"
#include "base/text.h"
#include "checks/driver_detection.h"
#include "platform/sim/sim_machine.h"
#include "run/application.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kProgram = "C:\\Package\\setup\\zqprep.exe";

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double MedianMs(int rounds, const std::function<void()>& work) {
    work();  // warm-up
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const Clock::time_point start = Clock::now();
        work();
        times.push_back(Milliseconds(Clock::now() - start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) throw std::runtime_error(path.string() + ": cannot be written");
}

fs::path MakeFolder(const fs::path& parent, const std::string& name) {
    std::string pattern = (parent / ("zq-bench-" + name + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error(pattern + ": no temporary folder");
    return pattern;
}

std::string Header(int logLevel) {
    return "[Version]\r\nLog=" + std::to_string(logLevel) + "\r\n[OS_Support]\r\nos_list=501\r\n";
}

std::string Tail() {
    return "[LangMap]\r\n0x0409=English\r\n[English]\r\n7=ZQ Merle Driver Refresh\r\n"
           "8=The ZQ Merle printer driver is not installed.\r\n";
}

std::string ManyKeys(int keys) {
    std::string text = Header(1) + "[CPE.MagicKeywords]\r\n";
    for (int i = 1; i <= keys; ++i) text += std::to_string(i) + "=ZQ " + std::to_string(i) + "\r\n";
    return text + "[Run]\r\n1=" + kProgram + "\r\n" + Tail();
}

std::string ManySections(int sections) {
    std::string text = Header(1) + "[CPE.MagicKeywords]\r\n1=ZQ Merle\r\n[Run]\r\n1=" + kProgram + "\r\n" + Tail();
    for (int i = 1; i <= sections; ++i) text += "[S" + std::to_string(i) + "]\r\nk=v\r\n";
    return text;
}

double CheckMs(const fs::path& parent, int rounds, const std::string& name, const std::string& settings) {
    const fs::path dir = MakeFolder(parent, name);
    WriteFile(dir / "setup" / "zqprep.exe", "program");
    WriteFile(dir / "autorun.inf", settings);
    const double ms = MedianMs(rounds, [&] {
        std::ostringstream out, err;
        const int status = zq::sim::RunCheck(dir / "autorun.inf", false, out, err);
        if (status == zq::sim::kCheckCannotRead) throw std::runtime_error("--check could not read " + name);
    });
    fs::remove_all(dir);
    return ms;
}

// A machine whose package names `runKeys` programs in [Run], all the same
// quick one.
double RunMs(const fs::path& parent, int rounds, int runKeys) {
    const fs::path dir = MakeFolder(parent, "run");
    const fs::path c = dir / "drives" / "C";
    fs::create_directories(c / "Temp");
    WriteFile(c / "Package" / "setup" / "zqprep.exe", "program");
    // The driver is installed: the launcher goes on to [Run].
    std::string inf = "\xFF\xFE";
    for (char c : std::string("[Version]\r\nClass=Printer\r\n\"ZQ Merle\" = ZQM\r\n")) inf += {c, '\0'};
    WriteFile(c / "Windows" / "inf" / "oem0.inf", inf);
    std::string settings = Header(1) + "[CPE.MagicKeywords]\r\n1=ZQ Merle\r\n[Run]\r\n";
    for (int i = 1; i <= runKeys; ++i) settings += std::to_string(i) + "=" + kProgram + "\r\n";
    WriteFile(c / "Package" / "autorun.inf", settings + Tail());
    WriteFile(dir / "machine.json",
              "{\"programs\": {\"C:\\\\Package\\\\setup\\\\zqprep.exe\": {\"runSeconds\": 0, \"exitCode\": 0}}}");
    const double ms = MedianMs(rounds, [&] {
        for (const fs::directory_entry& entry : fs::directory_iterator(c / "Temp")) fs::remove(entry.path());
        zq::sim::SimMachine sim(dir, dir / "journal.jsonl");
        zq::RunProgram(sim.platform());
    });
    std::size_t starts = 0;
    std::ifstream journal(dir / "journal.jsonl");
    for (std::string line; std::getline(journal, line);) starts += line.find("\"processStart\"") != std::string::npos;
    if (starts != static_cast<std::size_t>(runKeys)) {
        throw std::runtime_error("the run started " + std::to_string(starts) + " programs, not " +
                                 std::to_string(runKeys));
    }
    fs::remove_all(dir);
    return ms;
}

struct ListingFigures {
    double listingMs = 0;
    double detectionMs = 0;
    std::size_t listed = 0;
};

ListingFigures ListingMs(const fs::path& parent, int rounds, int names, const std::string& stem) {
    const fs::path dir = MakeFolder(parent, "names");
    const fs::path c = dir / "drives" / "C";
    fs::create_directories(c / "Temp");
    for (int i = 0; i < names; ++i) WriteFile(c / "Windows" / "inf" / (stem + std::to_string(i) + ".infx"), "");
    WriteFile(c / "Package" / "detect.inf", Header(1) + "[CPE.MagicKeywords]\r\n1=ZQ Merle\r\n" + Tail());
    WriteFile(dir / "machine.json", "{}");
    ListingFigures figures;
    zq::sim::SimMachine sim(dir, dir / "journal.jsonl");
    figures.listingMs = MedianMs(rounds, [&] {
        // Only the names whose short name starts with OEM are listed: from
        // the fifth of a start on, a short name is made from a hash.
        figures.listed = sim.platform().files.ListMatching(L"C:\\Windows\\inf\\oem*.inf").size();
        if (figures.listed == 0) throw std::runtime_error("the listing is empty");
    });
    figures.detectionMs = MedianMs(rounds, [&] {
        zq::LauncherProcess process(sim.platform());
        process.g_iniFile.SetPath(L"C:\\Package\\detect.inf");
        process.g_logFile.SetLevel(zq::LOG_HIGH);
        zq::EnumMagicKeywords(process);
        if (zq::FindInstalledDriver(process)) throw std::runtime_error("a driver was found in empty files");
    });
    fs::remove_all(dir);
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 5, keys = 20000, sections = 20000, runKeys = 10000, names = 8000;
    fs::path parent = fs::temp_directory_path();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--rounds" && hasValue) rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--dir" && hasValue) parent = argv[++i];
        else if (arg == "--keys" && hasValue) keys = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--sections" && hasValue) sections = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--run-keys" && hasValue) runKeys = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--names" && hasValue) names = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr,
                         "usage: %s [--rounds N] [--dir PARENT] [--keys N] [--sections N] [--run-keys N] "
                         "[--names N]\n",
                         argv[0]);
            return 2;
        }
    }

    const double keysMs = CheckMs(parent, rounds, "keys", ManyKeys(keys));
    std::printf("%-52s %10.1f ms\n", ("--check, " + std::to_string(keys) + " keys in one section").c_str(), keysMs);
    std::fflush(stdout);
    const double sectionsMs = CheckMs(parent, rounds, "sections", ManySections(sections));
    std::printf("%-52s %10.1f ms\n", ("--check, " + std::to_string(sections) + " sections").c_str(), sectionsMs);
    std::fflush(stdout);
    const double runMs = RunMs(parent, rounds, runKeys);
    std::printf("%-52s %10.1f ms\n", ("simulated run, " + std::to_string(runKeys) + " [Run] keys").c_str(), runMs);
    std::fflush(stdout);
    // oem<i>.infx: a few names of each start of six characters; and
    // oemprinter<i>.infx: all of one start (OEMPRI).
    for (const std::string stem : {"oem", "oemprinter"}) {
        const ListingFigures listing = ListingMs(parent, rounds, names, stem);
        std::printf("%-52s %10.1f ms\n",
                    ("listing oem*.inf, " + std::to_string(names) + " " + stem + "<i>.infx names").c_str(),
                    listing.listingMs);
        std::printf("%-52s %10.1f ms\n", ("  detection over the " + std::to_string(listing.listed) + " listed").c_str(),
                    listing.detectionMs);
        std::fflush(stdout);
    }
    return 0;
}
