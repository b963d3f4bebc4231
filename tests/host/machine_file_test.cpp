// docs/machine-file.schema.json and machine-file.md against the reader of
// machine.json: the same keys, the same machines taken and refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>

#include <nlohmann/json.hpp>

#include "platform/sim/machine_config.h"
#include "tests/support/result_file.h"
#include "tests/support/sim_program.h"

namespace zq::test {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

const fs::path kSource(ZQ_SOURCE_DIR);
const fs::path kSchemaFile = kSource / "docs" / "machine-file.schema.json";
const fs::path kDocFile = kSource / "docs" / "machine-file.md";

const json& Schema() {
    static const json schema = json::parse(ReadText(kSchemaFile));
    return schema;
}

// The schemas that describe a value at one place: the node itself and the
// branches of its combinators, local references followed.
void CollectBranches(const json& node, std::vector<const json*>& branches) {
    if (!node.is_object()) return;
    if (const std::string ref = node.value("$ref", ""); ref.rfind("#", 0) == 0)
        CollectBranches(Schema().at(json::json_pointer(ref.substr(1))), branches);
    branches.push_back(&node);
    for (const char* combinator : {"oneOf", "anyOf", "allOf"})
        if (node.contains(combinator))
            for (const json& branch : node.at(combinator)) CollectBranches(branch, branches);
}

// Key paths as MachineConfigKeyPaths names them ("os.major",
// "programs.*.runSeconds", "processes[].name"): every one that the schema
// names (`document` null) or that a document uses. An object with named
// properties that takes other keys too goes to `open`: the reader refuses
// unknown keys in every such object.
void KeyPaths(const json& node, const json* document, const std::string& place, std::set<std::string>& paths,
              std::set<std::string>& open) {
    std::vector<const json*> branches;
    CollectBranches(node, branches);
    const auto at = [&](const std::string& key) { return place.empty() ? key : place + "." + key; };
    for (const json* branch : branches) {
        const json properties = branch->value("properties", json::object());
        const json more = branch->value("additionalProperties", json());
        if (branch->contains("properties") && more != false) open.insert(place.empty() ? "(top level)" : place);
        // The keys to follow: the schema's own ("*" for any other), or the document's.
        json keys = document == nullptr ? properties : document->is_object() ? *document : json::object();
        if (document == nullptr && more.is_object()) keys["*"] = nullptr;
        for (const auto& item : keys.items()) {
            const bool named = properties.contains(item.key());
            if (named) paths.insert(at(item.key()));
            if (named || more.is_object())
                KeyPaths(named ? properties[item.key()] : more, document ? &item.value() : nullptr,
                         at(named ? item.key() : "*"), paths, open);
        }
        const json items = branch->value("items", json());
        if (document == nullptr && !items.is_null()) KeyPaths(items, nullptr, place + "[]", paths, open);
        if (document != nullptr && !items.is_null() && document->is_array())
            for (const json& element : *document) KeyPaths(items, &element, place + "[]", paths, open);
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

TEST(MachineFileSchema, HoldsExactlyTheKeysTheReaderAccepts) {
    const std::set<std::string> reader = ReaderKeyPaths();
    ASSERT_TRUE(reader.count("os.major") && reader.count("printers[].untilTime") && reader.count("registry.*.*.type"))
        << "the reader's key paths are not in the expected form";
    std::set<std::string> schema, open;
    KeyPaths(Schema(), nullptr, "", schema, open);
    EXPECT_EQ(Without(reader, schema), std::vector<std::string>{}) << "keys the reader accepts that the schema lacks";
    EXPECT_EQ(Without(schema, reader), std::vector<std::string>{}) << "keys in the schema that the reader refuses";
    EXPECT_EQ(open, std::set<std::string>{}) << "objects whose unknown keys the reader refuses, but the schema not";
}

// Every machine.json kept in the tree (examples, fixtures; build folders
// aside) and the one complete example of the reference page (its ```json
// block, which uses every key): valid against the schema and read. The
// state that --state-out writes of each is valid too and reads back as it
// was written.
TEST(MachineFileSchema, EveryMachineAndItsStateAreValidAndRead) {
    std::vector<fs::path> files;
    for (auto it = fs::recursive_directory_iterator(kSource); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string();
        if (it->is_directory() && (name == ".git" || name.rfind("build", 0) == 0)) it.disable_recursion_pending();
        else if (it->is_regular_file() && name == "machine.json") files.push_back(it->path());
    }
    ASSERT_GE(files.size(), 6u) << "the example machines are not found";
    const std::string doc = ReadText(kDocFile);
    const std::regex block("```json\n([\\s\\S]*?)```");
    ASSERT_EQ(std::distance(std::sregex_iterator(doc.begin(), doc.end(), block), std::sregex_iterator()), 1)
        << "docs/machine-file.md has one complete example";
    std::smatch example;
    std::regex_search(doc, example, block);
    TestMachine scratch;
    scratch.WriteFile("C:\\example.json", example[1]);
    files.push_back(scratch.HostPath("C:\\example.json"));
    std::set<std::string> used, open;
    const json document = json::parse(example[1].str());
    KeyPaths(Schema(), &document, "", used, open);
    EXPECT_EQ(Without(ReaderKeyPaths(), used), std::vector<std::string>{}) << "keys the complete example leaves out";

    for (std::size_t i = 0, count = files.size(); i < count; ++i) {
        SCOPED_TRACE(files[i].string());
        json state;
        ASSERT_NO_THROW(state =
                            json::parse(sim::MachineConfigToJson(sim::LoadMachineConfig(files[i].string())).dump()));
        EXPECT_EQ(json::parse(sim::MachineConfigToJson(sim::ParseMachineConfig(state, "m")).dump()), state);
        scratch.WriteFile("C:\\state\\" + std::to_string(i) + ".json", state.dump(2));
        files.push_back(scratch.HostPath("C:\\state\\" + std::to_string(i) + ".json"));
    }
    const SchemaCheck check = CheckAgainstSchema(kSchemaFile, files);
    EXPECT_EQ(check.status, 0) << check.output;
}

// The schema and the reader take and refuse the same documents: those of
// tests/host/machine-file-cases.json.
TEST(MachineFileSchema, RefusesWhatTheReaderRefuses) {
    const json cases = json::parse(ReadText(kSource / "tests" / "host" / "machine-file-cases.json"));
    TestMachine scratch;
    std::vector<std::pair<json, bool>> rows;
    std::vector<fs::path> files;
    for (const bool valid : {true, false}) {
        for (const json& document : cases.at(valid ? "accepted" : "refused")) {
            rows.emplace_back(document, valid);
            scratch.WriteFile("C:\\rows\\" + std::to_string(files.size()) + ".json", document.dump());
            files.push_back(scratch.HostPath("C:\\rows\\" + std::to_string(files.size()) + ".json"));
        }
    }
    ASSERT_GT(rows.size(), 40u);
    const SchemaCheck check = CheckAgainstSchema(kSchemaFile, files);
    ASSERT_TRUE(check.status == 0 || check.status == 1) << check.output;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& [document, valid] = rows[i];
        SCOPED_TRACE(document.dump());
        if (valid) EXPECT_NO_THROW(sim::ParseMachineConfig(document, "machine.json"));
        else EXPECT_THROW(sim::ParseMachineConfig(document, "machine.json"), sim::MachineError);
        // The validator's messages about a file begin a line with its name.
        EXPECT_EQ(("\n" + check.output).find("\n" + files[i].string() + ":") == std::string::npos, valid)
            << check.output;
    }
}

}  // namespace
}  // namespace zq::test
