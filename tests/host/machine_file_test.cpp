// docs/machine-file.schema.json and docs/machine-file.md against the reader
// of machine.json: the same keys both ways, every machine in the tree valid
// against the schema and accepted by the reader, and both refusing the same
// documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/sim/machine_config.h"
#include "tests/support/result_file.h"
#include "tests/support/test_machine.h"

namespace zq::test {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

const fs::path kSource(ZQ_SOURCE_DIR);
const fs::path kSchemaFile = kSource / "docs" / "machine-file.schema.json";
const fs::path kDocFile = kSource / "docs" / "machine-file.md";

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const json& Schema() {
    static const json schema = json::parse(ReadText(kSchemaFile));
    return schema;
}

// The schemas that describe a value at one place: the node itself and the
// branches of its combinators, local references followed.
void CollectBranches(const json& node, std::vector<const json*>& branches) {
    if (!node.is_object()) return;
    if (auto ref = node.find("$ref"); ref != node.end()) {
        const std::string pointer = ref->get<std::string>();
        if (pointer.rfind("#", 0) == 0) CollectBranches(Schema().at(json::json_pointer(pointer.substr(1))), branches);
    }
    branches.push_back(&node);
    for (const char* combinator : {"oneOf", "anyOf", "allOf"}) {
        if (auto list = node.find(combinator); list != node.end()) {
            for (const json& branch : *list) CollectBranches(branch, branches);
        }
    }
}

std::string Join(const std::string& place, const std::string& key) { return place.empty() ? key : place + "." + key; }

// Key paths as MachineConfigKeyPaths names them ("os.major",
// "programs.*.runSeconds", "processes[].name"), for every named property.
// An object with named properties that takes other keys too is noted in
// `open`: the reader refuses unknown keys in every such object.
void SchemaKeyPaths(const json& node, const std::string& place, std::set<std::string>& paths,
                    std::set<std::string>& open) {
    std::vector<const json*> branches;
    CollectBranches(node, branches);
    for (const json* branch : branches) {
        if (auto properties = branch->find("properties"); properties != branch->end()) {
            const auto closed = branch->find("additionalProperties");
            if (closed == branch->end() || *closed != false) open.insert(place.empty() ? "(top level)" : place);
            for (const auto& item : properties->items()) {
                paths.insert(Join(place, item.key()));
                SchemaKeyPaths(item.value(), Join(place, item.key()), paths, open);
            }
        }
        if (auto more = branch->find("additionalProperties"); more != branch->end() && more->is_object()) {
            SchemaKeyPaths(*more, Join(place, "*"), paths, open);
        }
        if (auto items = branch->find("items"); items != branch->end())
            SchemaKeyPaths(*items, place + "[]", paths, open);
    }
}

// The key paths that a document uses, each named by the schema's place for it.
void DocumentKeyPaths(const json& node, const json& document, const std::string& place, std::set<std::string>& paths) {
    std::vector<const json*> branches;
    CollectBranches(node, branches);
    for (const json* branch : branches) {
        if (document.is_object()) {
            const auto properties = branch->find("properties");
            const auto more = branch->find("additionalProperties");
            for (const auto& item : document.items()) {
                if (properties != branch->end() && properties->contains(item.key())) {
                    paths.insert(Join(place, item.key()));
                    DocumentKeyPaths(properties->at(item.key()), item.value(), Join(place, item.key()), paths);
                } else if (more != branch->end() && more->is_object()) {
                    DocumentKeyPaths(*more, item.value(), Join(place, "*"), paths);
                }
            }
        }
        if (auto items = branch->find("items"); items != branch->end() && document.is_array()) {
            for (const json& element : document) DocumentKeyPaths(*items, element, place + "[]", paths);
        }
    }
}

std::set<std::string> ReaderKeyPaths() {
    const std::vector<std::string> paths = sim::MachineConfigKeyPaths();
    return {paths.begin(), paths.end()};
}

std::vector<std::string> Without(const std::set<std::string>& these, const std::set<std::string>& those) {
    std::vector<std::string> rest;
    std::set_difference(these.begin(), these.end(), those.begin(), those.end(), std::back_inserter(rest));
    return rest;
}

// Every machine.json kept in the tree (examples, fixtures), build folders aside.
std::vector<fs::path> MachineFilesInTree() {
    std::vector<fs::path> files;
    for (auto it = fs::recursive_directory_iterator(kSource); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string();
        if (it->is_directory() && (name == ".git" || name.rfind("build", 0) == 0)) {
            it.disable_recursion_pending();
        } else if (it->is_regular_file() && name == "machine.json") {
            files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The ```json blocks of the reference page.
std::vector<std::string> DocExamples() {
    const std::string text = ReadText(kDocFile);
    std::vector<std::string> examples;
    const std::regex block("```json\n([\\s\\S]*?)```");
    for (std::sregex_iterator it(text.begin(), text.end(), block), end; it != end; ++it) examples.push_back((*it)[1]);
    return examples;
}

TEST(MachineFileSchema, HoldsExactlyTheKeysTheReaderAccepts) {
    const std::set<std::string> reader = ReaderKeyPaths();
    ASSERT_TRUE(reader.count("os.major") && reader.count("printers[].untilTime") && reader.count("registry.*.*.type"))
        << "the reader's key paths are not in the expected form";
    std::set<std::string> schema, open;
    SchemaKeyPaths(Schema(), "", schema, open);
    EXPECT_EQ(Without(reader, schema), std::vector<std::string>{}) << "keys the reader accepts that the schema lacks";
    EXPECT_EQ(Without(schema, reader), std::vector<std::string>{}) << "keys in the schema that the reader refuses";
    EXPECT_EQ(open, std::set<std::string>{}) << "objects whose unknown keys the reader refuses, but the schema not";
}

TEST(MachineFileSchema, EveryMachineInTheTreeIsValidAndRead) {
    const std::vector<fs::path> files = MachineFilesInTree();
    ASSERT_GE(files.size(), 6u) << "the example machines are not found";
    const SchemaCheck check = CheckAgainstSchema(kSchemaFile, files);
    EXPECT_EQ(check.status, 0) << check.output;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        EXPECT_NO_THROW(sim::LoadMachineConfig(file.string()));
    }
}

TEST(MachineFileDoc, ExampleIsCompleteValidAndRead) {
    const std::vector<std::string> examples = DocExamples();
    ASSERT_EQ(examples.size(), 1u) << "docs/machine-file.md has one complete example";
    TestMachine scratch;
    scratch.WriteFile("C:\\example.json", examples[0]);
    const SchemaCheck check = CheckAgainstSchema(kSchemaFile, {scratch.HostPath("C:\\example.json")});
    EXPECT_EQ(check.status, 0) << check.output;
    const json document = json::parse(examples[0]);
    EXPECT_NO_THROW(sim::ParseMachineConfig(document, "machine-file.md"));
    std::set<std::string> used;
    DocumentKeyPaths(Schema(), document, "", used);
    EXPECT_EQ(Without(ReaderKeyPaths(), used), std::vector<std::string>{}) << "keys the complete example leaves out";
}

// Each key that holds a value (not the objects and lists that hold keys) has
// its row: "| `os.major` | ...".
TEST(MachineFileDoc, NamesEveryKeyInItsTables) {
    const std::string text = ReadText(kDocFile);
    const std::set<std::string> paths = ReaderKeyPaths();
    for (const std::string& path : paths) {
        const bool holdsKeys = std::any_of(paths.begin(), paths.end(), [&](const std::string& other) {
            return other.rfind(path + ".", 0) == 0 || other.rfind(path + "[]", 0) == 0;
        });
        if (holdsKeys) continue;
        EXPECT_NE(text.find("| `" + path + "` |"), std::string::npos) << path << " has no row in docs/machine-file.md";
    }
}

// --state-out writes a machine in machine.json's format: the schema takes it,
// and the reader reads back what it wrote.
TEST(MachineFileSchema, StateAsWrittenIsValidAndReadBack) {
    TestMachine scratch;
    std::vector<std::pair<std::string, json>> machines;
    for (const fs::path& file : MachineFilesInTree()) machines.push_back({file.string(), json::parse(ReadText(file))});
    for (const std::string& example : DocExamples()) machines.push_back({"machine-file.md", json::parse(example)});
    std::vector<fs::path> written;
    for (std::size_t i = 0; i < machines.size(); ++i) {
        SCOPED_TRACE(machines[i].first);
        const json state =
            json::parse(sim::MachineConfigToJson(sim::ParseMachineConfig(machines[i].second, "m")).dump());
        const std::string windowsPath = "C:\\state\\" + std::to_string(i) + ".json";
        scratch.WriteFile(windowsPath, state.dump(2));
        written.push_back(scratch.HostPath(windowsPath));
        EXPECT_EQ(json::parse(sim::MachineConfigToJson(sim::ParseMachineConfig(state, "m")).dump()), state);
    }
    const SchemaCheck check = CheckAgainstSchema(kSchemaFile, written);
    EXPECT_EQ(check.status, 0) << check.output;
}

std::string LinesAbout(const std::string& output, const fs::path& file) {
    std::istringstream lines(output);
    std::string line, about;
    while (std::getline(lines, line)) {
        if (line.rfind(file.string() + ":", 0) == 0) about += line + "\n";
    }
    return about;
}

// The schema and the reader take and refuse the same documents.
TEST(MachineFileSchema, RefusesWhatTheReaderRefuses) {
    struct Case {
        const char* text;
        bool valid;
    } cases[] = {
        {R"({})", true},
        {R"([])", false},
        {R"({"colour": true})", false},
        {R"({"os": {"build": 2600}})", false},
        {R"({"os": null})", false},
        {R"({"os": {"bits": 48}})", false},
        {R"({"os": {"major": 256}})", false},
        {R"({"os": {"major": 6, "minor": 1, "bits": 64}})", true},
        {R"({"userLanguage": 1.5})", false},
        {R"({"userLanguage": 65536})", false},
        {R"({"ansiCodePage": 437})", false},
        {R"({"ansiCodePage": 932})", true},
        {R"({"localTime": "2009-13-07T09:05:02"})", false},
        {R"({"localTime": "2009-03-07 09:05:02"})", false},
        {R"({"localTime": "1600-12-31T23:59:59"})", false},
        {R"({"localTime": "1601-01-01T00:00:00"})", true},
        {R"({"program": "zqmerlesetup.exe"})", false},
        {R"({"currentDirectory": null})", true},
        {R"({"windowsDirectory": "Windows"})", false},
        {R"({"environment": {"TEMP": 1}})", false},
        {R"({"lockedFiles": "C:\\a.inf"})", false},
        {R"({"largestAllocationBytes": null})", true},
        {R"({"largestAllocationBytes": -1})", false},
        {R"({"programs": {"C:\\a.exe": {"exitCode": -1, "runSeconds": 0.5}}})", true},
        {R"({"programs": {"C:\\a.exe": {"exitCode": 4294967296}}})", false},
        {R"({"programs": {"C:\\a.exe": {"runSeconds": -1}}})", false},
        {R"({"programs": {"C:\\a.exe": {"wait": true}}})", false},
        {R"({"processes": [{"name": "a.exe", "pid": -1}]})", false},
        {R"({"processes": [{"name": "a.exe", "user": "SYSTEM"}]})", false},
        {R"({"services": {"s": {"state": "paused"}}})", false},
        {R"({"services": {"s": {"state": "stopping", "stopSeconds": 4}}})", true},
        {R"({"printers": [{"name": "P", "colour": true}]})", false},
        {R"({"printers": [{"name": "P", "attributes": -1}]})", false},
        {R"({"printui": {"failsFor": "Office"}})", false},
        {R"({"registry": {"HKCU\\Software\\X": {}}})", false},
        {R"({"registry": {"HKLMX": {}}})", false},
        {R"({"registry": {"hkey_local_machine\\SOFTWARE\\X": {"v": {"type": "REG_DWORD", "data": 1}}}})", true},
        {R"({"registry": {"HKLM\\X": {"v": {"type": "REG_DWORD", "data": "1"}}}})", false},
        {R"({"registry": {"HKLM\\X": {"v": {"type": "REG_SZ", "data": 1}}}})", false},
        {R"({"registry": {"HKLM\\X": {"v": {"type": "REG_BINARY", "data": "00"}}}})", false},
        {R"({"registry": {"HKLM\\X": {"v": {"data": "x"}}}})", false},
        {R"({"registry": {"HKLM\\X": {"v": {"type": "REG_SZ"}}}})", false},
        {R"({"registry": {"HKLM\\X": {"v": -1}}})", false},
        {R"({"registry": {"HKLM\\X": {"v": 4294967296}}})", false},
        {R"({"registry": {"HKLM\\X": {"v": true}}})", false},
        {R"({"user": {"messageBox": "cancel"}})", false},
        {R"({"user": {"finishAction": "close"}})", false},
        {R"({"user": {"copyDialogEscapeAfterSeconds": -1}})", false},
        {R"({"user": {"copyDialogEscapeAfterSeconds": 2}})", true},
    };
    TestMachine scratch;
    std::vector<fs::path> files;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string windowsPath = "C:\\rows\\row" + std::to_string(i) + ".json";
        scratch.WriteFile(windowsPath, cases[i].text);
        files.push_back(scratch.HostPath(windowsPath));
    }
    const SchemaCheck check = CheckAgainstSchema(kSchemaFile, files);
    ASSERT_TRUE(check.status == 0 || check.status == 1) << check.output;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].text);
        const bool schemaTakes = check.output.find(files[i].string() + ":") == std::string::npos;
        bool readerTakes = true;
        try {
            sim::ParseMachineConfig(json::parse(cases[i].text), "machine.json");
        } catch (const sim::MachineError&) {
            readerTakes = false;
        }
        EXPECT_EQ(schemaTakes, cases[i].valid) << LinesAbout(check.output, files[i]);
        EXPECT_EQ(readerTakes, cases[i].valid);
    }
}

}  // namespace
}  // namespace zq::test
