#include "tests/support/plugin_bench.h"

#include "plugin/update_driver_plugin.h"

namespace zq::test {

using nlohmann::json;

json Printer(const std::string& name, const std::string& port, const std::string& driver) {
    return {{"name", name}, {"port", port}, {"driver", driver}};
}

PluginBench::PluginBench(SettingsFile settings) {
    machine.MakeFolder("C:\\Temp");
    machine.WriteFile(kSettingsPath, settings.Text());
    machine.WriteFile(kInf, "[Version]");
    machine.WriteFile("C:\\Program Files\\Zelt\\Pictavo\\Bin\\zqnotify.exe", "tray");
    machine.config()["registry"]["HKLM\\SOFTWARE\\Zelt\\Pictavo"] = {{"InstallFolder", "C:\\Program Files\\Zelt\\"}};
    machine.config()["processes"] =
        json::array({{{"name", "explorer.exe"}, {"pid", 100}}, {{"name", "zqnotify.exe"}, {"pid", 200}}});
    machine.config()["services"] = {{"zqdevsvc", {{"state", "running"}}}};
    machine.config()["printers"] = json::array();
}

void PluginBench::AddPrinter(const json& printer, const std::string& deviceId) {
    machine.config()["printers"].push_back(printer);
    machine.config()["registry"][kDriverData + printer["name"].get<std::string>() + "\\PrinterDriverData"] = {
        {"SoftwareCUEContextID", deviceId}};
}

int PluginBench::Run(const std::string& commandLine) {
    process_ = std::make_unique<LauncherProcess>(machine.Load().platform());
    process_->g_logFile.SetLevel(LOG_LOW);
    CUpdateDriverPlugin context(Utf8ToUtf16(kSettingsPath));
    return RunUpdateDriver(*process_, context, Utf8ToUtf16(commandLine));
}

}  // namespace zq::test
