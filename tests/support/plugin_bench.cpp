#include "tests/support/plugin_bench.h"

#include "plugin/update_driver_plugin.h"

namespace zq::test {

using nlohmann::json;

json Printer(const std::string& name, const std::string& port, const std::string& driver) {
    return {{"name", name}, {"port", port}, {"driver", driver}};
}

PluginBench::PluginBench(SettingsFile settings) {
    machine.WriteFile(kSettingsPath, settings.Text());
    AddImagingSoftware(machine);
}

int PluginBench::Run(const std::string& commandLine) {
    process_ = ProcessOn(machine);
    CUpdateDriverPlugin context(Utf8ToUtf16(kSettingsPath));
    return RunUpdateDriver(*process_, context, Utf8ToUtf16(commandLine));
}

std::vector<std::string> PluginBench::Outcomes() const {
    std::vector<std::string> outcomes;
    for (const PrinterResult& result : process_->PrinterResults)
        outcomes.push_back(Utf16ToUtf8(result.name) + ": " + std::string(PrinterOutcomeName(result.outcome)));
    return outcomes;
}

}  // namespace zq::test
