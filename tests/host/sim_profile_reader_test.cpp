// The simulated machine's GetPrivateProfileStringW, for every row of the INI
// corpus in tests/ini-corpus (Windows' answers, the rows where Wine answers
// otherwise included), and how often it scans a settings file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/sim/profile_reader.h"
#include "tests/ini-corpus/corpus_rows.h"
#include "tests/support/scenario.h"

namespace zq::sim {
namespace {

const std::string kCorpusDir = ZQ_SOURCE_DIR "/tests/ini-corpus/";

std::optional<std::string> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<ini_corpus::CorpusRow> CorpusRows() {
    const auto tsv = ReadFileBytes(kCorpusDir + "expected.tsv");
    return tsv ? ini_corpus::ParseCorpusRows(*tsv) : std::vector<ini_corpus::CorpusRow>{};
}

TEST(SimProfileReaderCorpus, HasRows) { EXPECT_GT(CorpusRows().size(), 100u) << kCorpusDir << "expected.tsv"; }

class SimProfileReaderCorpusRow : public testing::TestWithParam<ini_corpus::CorpusRow> {};

TEST_P(SimProfileReaderCorpusRow, AnswersAsWindows) {
    const ini_corpus::CorpusRow& row = GetParam();
    SCOPED_TRACE(ini_corpus::DescribeRow(row));
    const auto bytes = ReadFileBytes(kCorpusDir + row.file);
    const WString answer = bytes ? ReadProfileString(*bytes, row.section, row.key, row.defaultValue, row.bufferChars)
                                 : ProfileDefault(row.defaultValue, row.bufferChars);
    EXPECT_EQ(answer, row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, SimProfileReaderCorpusRow, testing::ValuesIn(CorpusRows()),
                         [](const testing::TestParamInfo<ini_corpus::CorpusRow>& info) {
                             return ini_corpus::RowTestName(info.param);
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SimProfileReaderCorpusRow);

// A file is scanned once for each content it has: many values cost one scan,
// and a change, however quick and whatever its size, is seen by the next read.
TEST(SimSettingsScan, OneScanPerContentOfAFile) {
    const struct {
        const char* what;
        std::optional<std::string> write;  // the file's new bytes, written from the host as another program would
        const char* file;                  // a: C:\Package\a.ini, b: b.ini, -: a.ini removed
        const wchar_t* key;
        const wchar_t* expected;
        std::uint64_t scansAfter;  // of all files, after the read
    } steps[] = {
        {"the first read scans the file", "[S]\r\nK=one\r\nL=ell\r\n", "a", L"K", L"one", 1},
        {"another key of the same file", {}, "a", L"L", L"ell", 1},
        {"a missing key of the same file", {}, "a", L"M", L"dflt", 1},
        {"other bytes of the same size, at once", "[S]\r\nK=two\r\nL=ell\r\n", "a", L"K", L"two", 2},
        {"the same bytes written again", "[S]\r\nK=two\r\nL=ell\r\n", "a", L"K", L"two", 2},
        {"a longer content", "[S]\r\nK=three\r\nL=ell\r\n", "a", L"K", L"three", 3},
        {"a second file has a scan of its own", "[S]\r\nK=bee\r\n", "b", L"K", L"bee", 4},
        {"the first file's scan is still kept", {}, "a", L"L", L"ell", 4},
        {"the file removed: the default, nothing scanned", {}, "-", L"K", L"dflt", 4},
        {"back with the same bytes: the kept scan serves", "[S]\r\nK=three\r\nL=ell\r\n", "a", L"K", L"three", 4},
        {"a shorter content", "[S]\r\nK=4\r\n", "a", L"L", L"dflt", 5},
    };
    test::TestMachine machine;
    machine.MakeFolder("C:\\Package");
    SimMachine& sim = machine.Load();
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        const std::string file = std::string("C:\\Package\\") + (*step.file == 'b' ? "b" : "a") + ".ini";
        if (step.write) machine.WriteFile(file, *step.write);
        if (*step.file == '-') std::filesystem::remove(machine.HostPath(file));
        EXPECT_EQ(sim.platform().profile.GetString(L"S", step.key, L"dflt", 500, Utf8ToUtf16(file)), step.expected);
        EXPECT_EQ(sim.SettingsFileScans(), step.scansAfter);
    }
}

// A whole run reads dozens of values, the numbered keys of [Run] one by one
// up to the first missing, and scans the settings file once.
TEST(SimSettingsScan, ARunScansTheSettingsFileOnce) {
    test::SettingsFile settings = test::SettingsFile::Basic();
    for (int i = 1; i <= 40; ++i) settings.Set("Run", std::to_string(i), "C:\\Package\\setup\\step.exe");
    test::StandardMachine machine(settings);
    machine.WriteFile("C:\\Package\\setup\\step.exe", "program");
    machine.Run();
    EXPECT_EQ(machine.Events("processStart").size(), 40u);
    EXPECT_EQ(machine.Machine().SettingsFileScans(), 1u);
}

}  // namespace
}  // namespace zq::sim
