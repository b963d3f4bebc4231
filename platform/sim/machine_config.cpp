#include "platform/sim/machine_config.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

#include "base/text.h"
#include "platform/sim/ansi_code_page.h"
#include "platform/sim/host_files.h"
#include "platform/sim/windows_path.h"

namespace zq::sim {

namespace {

using json = nlohmann::json;

// While MachineConfigKeyPaths runs: every key place the readers ask for.
thread_local std::set<std::string>* t_askedPlaces = nullptr;

std::string TypeName(const json& value) {
    switch (value.type()) {
        case json::value_t::null: return "null";
        case json::value_t::boolean: return "a boolean";
        case json::value_t::string: return "a string";
        case json::value_t::array: return "an array";
        case json::value_t::object: return "an object";
        case json::value_t::number_float: return "a fractional number";
        default: return "a number";
    }
}

// Reads one object of machine.json; every complaint names the file and the
// key's place ("os.major", "printers[1].name").
class ObjectReader {
public:
    ObjectReader(const json& object, std::string place, const std::string& fileName)
        : object_(object), place_(std::move(place)), fileName_(fileName) {
        if (!object_.is_object()) Fail(place_.empty() ? "the top level" : Quoted(place_), "must be an object", object_);
    }

    // Every key that was not asked for is unknown.
    void RejectUnknownKeys() const {
        for (const auto& item : object_.items()) {
            if (!asked_.count(item.key())) {
                throw MachineError(fileName_ + ": unknown key " + Quoted(KeyPlace(item.key())));
            }
        }
    }

    const json* Find(const std::string& key) {
        asked_.insert(key);
        if (t_askedPlaces) t_askedPlaces->insert(KeyPlace(key));
        auto found = object_.find(key);
        return found == object_.end() ? nullptr : &*found;
    }

    void Read(const std::string& key, bool& target) {
        if (const json* value = Find(key)) {
            if (!value->is_boolean()) Fail(key, "must be true or false", *value);
            target = value->get<bool>();
        }
    }

    void Read(const std::string& key, WString& target) {
        if (const json* value = Find(key)) target = String(key, *value);
    }

    void Read(const std::string& key, std::string& target) {
        if (const json* value = Find(key)) {
            if (!value->is_string()) Fail(key, "must be a string", *value);
            target = value->get<std::string>();
        }
    }

    template <class Integer>
    void ReadInteger(const std::string& key, Integer& target, std::int64_t lowest, std::int64_t highest) {
        if (const json* value = Find(key)) target = static_cast<Integer>(Integer64(key, *value, lowest, highest));
    }

    void ReadSeconds(const std::string& key, double& target) {
        if (const json* value = Find(key)) target = Seconds(key, *value);
    }

    WString String(const std::string& key, const json& value) const {
        if (!value.is_string()) Fail(key, "must be a string", value);
        return Utf8ToUtf16(value.get<std::string>());
    }

    std::int64_t Integer64(const std::string& key, const json& value, std::int64_t lowest, std::int64_t highest) const {
        if (!value.is_number_integer()) Fail(key, "must be a whole number", value);
        std::int64_t number = value.is_number_unsigned()
                                  ? static_cast<std::int64_t>(std::min<std::uint64_t>(
                                        value.get<std::uint64_t>(), std::numeric_limits<std::int64_t>::max()))
                                  : value.get<std::int64_t>();
        if (number < lowest || number > highest) {
            throw MachineError(fileName_ + ": " + Quoted(KeyPlace(key)) + " must lie between " +
                               std::to_string(lowest) + " and " + std::to_string(highest) + ", not " +
                               std::to_string(number));
        }
        return number;
    }

    double Seconds(const std::string& key, const json& value) const {
        if (!value.is_number()) Fail(key, "must be a number of seconds", value);
        double seconds = value.get<double>();
        if (!(seconds >= 0) || !std::isfinite(seconds)) {
            throw MachineError(fileName_ + ": " + Quoted(KeyPlace(key)) + " must not be negative");
        }
        return seconds;
    }

    [[noreturn]] void Fail(const std::string& key, const std::string& what, const json& value) const {
        throw MachineError(fileName_ + ": " + Quoted(KeyPlace(key)) + " " + what + ", not " + TypeName(value));
    }

    std::string KeyPlace(const std::string& key) const { return place_.empty() ? key : place_ + "." + key; }
    static std::string Quoted(const std::string& text) { return "\"" + text + "\""; }
    const std::string& Place() const { return place_; }
    const std::string& FileName() const { return fileName_; }

private:
    const json& object_;
    std::string place_;
    const std::string& fileName_;
    std::set<std::string> asked_;
};

void ReadOs(const json& value, const std::string& fileName, OsConfig& os) {
    ObjectReader reader(value, "os", fileName);
    reader.ReadInteger("major", os.major, 0, 255);
    reader.ReadInteger("minor", os.minor, 0, 255);
    reader.ReadInteger("servicePackMajor", os.servicePackMajor, 0, 0xFFFF);
    reader.ReadInteger("servicePackMinor", os.servicePackMinor, 0, 0xFFFF);
    reader.ReadInteger("bits", os.bits, 32, 64);
    if (os.bits != 32 && os.bits != 64) {
        throw MachineError(fileName + ": \"os.bits\" must be 32 or 64, not " + std::to_string(os.bits));
    }
    reader.Read("isWow64ProcessAvailable", os.isWow64ProcessAvailable);
    reader.Read("isWow64ProcessFails", os.isWow64ProcessFails);
    reader.RejectUnknownKeys();
}

std::string ElementPlace(const std::string& list, std::size_t index) {
    return list + "[" + std::to_string(index) + "]";
}

std::vector<EnvironmentVariable> ReadEnvironment(const json& value, const std::string& fileName) {
    ObjectReader reader(value, "environment", fileName);
    std::vector<EnvironmentVariable> variables;
    for (const auto& item : value.items()) {
        reader.Find(item.key());
        variables.push_back({Utf8ToUtf16(item.key()), reader.String(item.key(), item.value())});
    }
    return variables;
}

std::vector<WString> ReadStringList(const json& value, const std::string& key, const std::string& fileName) {
    if (!value.is_array()) {
        throw MachineError(fileName + ": \"" + key + "\" must be an array of strings, not " + TypeName(value));
    }
    std::vector<WString> list;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (!value[i].is_string()) {
            throw MachineError(fileName + ": \"" + ElementPlace(key, i) + "\" must be a string, not " +
                               TypeName(value[i]));
        }
        list.push_back(Utf8ToUtf16(value[i].get<std::string>()));
    }
    return list;
}

const json& ArrayOf(const json& value, const std::string& key, const std::string& fileName) {
    if (!value.is_array()) {
        throw MachineError(fileName + ": \"" + key + "\" must be an array, not " + TypeName(value));
    }
    return value;
}

std::vector<ProgramConfig> ReadPrograms(const json& value, const std::string& fileName) {
    ObjectReader list(value, "programs", fileName);
    std::vector<ProgramConfig> programs;
    for (const auto& item : value.items()) {
        ObjectReader reader(item.value(), "programs." + item.key(), fileName);
        ProgramConfig program;
        program.path = Utf8ToUtf16(item.key());
        reader.ReadSeconds("runSeconds", program.runSeconds);
        reader.ReadInteger("exitCode", program.exitCode, std::numeric_limits<std::int32_t>::min(), 0xFFFFFFFFLL);
        reader.RejectUnknownKeys();
        programs.push_back(program);
    }
    return programs;
}

std::vector<ProcessConfig> ReadProcesses(const json& value, const std::string& fileName) {
    std::vector<ProcessConfig> processes;
    const json& list = ArrayOf(value, "processes", fileName);
    for (std::size_t i = 0; i < list.size(); ++i) {
        ObjectReader reader(list[i], ElementPlace("processes", i), fileName);
        ProcessConfig process;
        reader.Read("name", process.name);
        reader.ReadInteger("pid", process.pid, 0, 0xFFFFFFFFLL);
        reader.Read("terminateFails", process.terminateFails);
        reader.Read("pidReusedBy", process.pidReusedBy);
        reader.RejectUnknownKeys();
        processes.push_back(process);
    }
    return processes;
}

std::vector<ServiceConfig> ReadServices(const json& value, const std::string& fileName) {
    ObjectReader list(value, "services", fileName);
    std::vector<ServiceConfig> services;
    for (const auto& item : value.items()) {
        ObjectReader reader(item.value(), "services." + item.key(), fileName);
        std::string state = "stopped";
        reader.Read("state", state);
        if (state != "running" && state != "stopped" && state != "stopping") {
            throw MachineError(fileName + ": \"services." + item.key() +
                               ".state\" must be \"running\", \"stopped\" or \"stopping\", not \"" + state + "\"");
        }
        ServiceConfig service;
        service.name = Utf8ToUtf16(item.key());
        service.running = state == "running";
        reader.ReadSeconds("stopSeconds", service.stopSeconds);
        if (state == "stopping") service.stopEndsAtMs = std::llround(service.stopSeconds * 1000);
        reader.RejectUnknownKeys();
        services.push_back(service);
    }
    return services;
}

std::vector<PrinterConfig> ReadPrinters(const json& value, const std::string& fileName) {
    std::vector<PrinterConfig> printers;
    const json& list = ArrayOf(value, "printers", fileName);
    for (std::size_t i = 0; i < list.size(); ++i) {
        ObjectReader reader(list[i], ElementPlace("printers", i), fileName);
        PrinterConfig printer;
        reader.Read("name", printer.name);
        reader.Read("port", printer.port);
        reader.Read("driver", printer.driver);
        reader.Read("openFails", printer.openFails);
        reader.Read("deleteFails", printer.deleteFails);
        reader.Read("printProcessor", printer.printProcessor);
        reader.Read("dataType", printer.dataType);
        reader.Read("shareName", printer.shareName);
        reader.Read("location", printer.location);
        reader.Read("comment", printer.comment);
        reader.Read("separatorFile", printer.separatorFile);
        reader.Read("parameters", printer.parameters);
        reader.ReadInteger("attributes", printer.attributes, 0, 0xFFFFFFFFLL);
        reader.ReadInteger("priority", printer.priority, 0, 0xFFFFFFFFLL);
        reader.ReadInteger("defaultPriority", printer.defaultPriority, 0, 0xFFFFFFFFLL);
        reader.ReadInteger("startTime", printer.startTime, 0, 0xFFFFFFFFLL);
        reader.ReadInteger("untilTime", printer.untilTime, 0, 0xFFFFFFFFLL);
        reader.RejectUnknownKeys();
        printers.push_back(printer);
    }
    return printers;
}

void ReadPrintUi(const json& value, const std::string& fileName, PrintUiConfig& printui) {
    ObjectReader reader(value, "printui", fileName);
    reader.Read("fails", printui.fails);
    if (const json* names = reader.Find("failsFor"))
        printui.failsFor = ReadStringList(*names, "printui.failsFor", fileName);
    reader.ReadSeconds("runSeconds", printui.runSeconds);
    reader.RejectUnknownKeys();
}

// "HKLM\SOFTWARE\x" or "HKEY_LOCAL_MACHINE\SOFTWARE\x" to "SOFTWARE\x".
std::optional<WString> LocalMachineSubKey(const WString& keyPath) {
    for (const wchar_t* prefix : {L"HKLM", L"HKEY_LOCAL_MACHINE"}) {
        WString root(prefix);
        if (EqualsIgnoringAsciiCase(keyPath, root)) return WString();
        if (keyPath.size() > root.size() && keyPath[root.size()] == L'\\' &&
            EqualsIgnoringAsciiCase(WStringView(keyPath).substr(0, root.size()), root)) {
            return keyPath.substr(root.size() + 1);
        }
    }
    return std::nullopt;
}

RegistryValueConfig ReadRegistryValue(const std::string& key, const std::string& name, const json& value,
                                      const std::string& fileName) {
    RegistryValueConfig result;
    result.name = Utf8ToUtf16(name);
    const std::string place = "registry." + key + "." + name;
    auto dword = [&](const json& number) {
        if (!number.is_number_integer() ||
            (number.is_number_integer() && !number.is_number_unsigned() && number.get<std::int64_t>() < 0) ||
            (number.is_number_unsigned() && number.get<std::uint64_t>() > 0xFFFFFFFFULL)) {
            throw MachineError(fileName + ": \"" + place + "\" must be a whole number from 0 to 4294967295");
        }
        return static_cast<std::uint32_t>(number.get<std::uint64_t>());
    };
    if (value.is_string()) {
        result.type = kRegSz;
        result.text = Utf8ToUtf16(value.get<std::string>());
    } else if (value.is_number()) {
        result.type = kRegDword;
        result.number = dword(value);
    } else if (value.is_object()) {
        ObjectReader reader(value, place, fileName);
        std::string type;
        reader.Read("type", type);
        const json* data = reader.Find("data");
        reader.RejectUnknownKeys();
        if (!data) throw MachineError(fileName + ": \"" + place + "\" has no \"data\"");
        if (type == "REG_SZ" || type == "REG_EXPAND_SZ") {
            result.type = type == "REG_SZ" ? kRegSz : kRegExpandSz;
            result.text = reader.String("data", *data);
        } else if (type == "REG_DWORD") {
            result.type = kRegDword;
            result.number = dword(*data);
        } else {
            throw MachineError(fileName + ": \"" + place + ".type\" is an unknown value type \"" + type +
                               "\" (REG_SZ, REG_EXPAND_SZ or REG_DWORD)");
        }
    } else {
        throw MachineError(fileName + ": \"" + place +
                           "\" must be a string, a number or {\"type\": ..., \"data\": ...}, not " + TypeName(value));
    }
    return result;
}

std::vector<RegistryKeyConfig> ReadRegistry(const json& value, const std::string& fileName) {
    ObjectReader list(value, "registry", fileName);
    std::vector<RegistryKeyConfig> keys;
    for (const auto& item : value.items()) {
        std::optional<WString> subKey = LocalMachineSubKey(Utf8ToUtf16(item.key()));
        if (!subKey) {
            throw MachineError(fileName + ": registry key \"" + item.key() + "\" must begin with HKLM\\");
        }
        ObjectReader reader(item.value(), "registry." + item.key(), fileName);
        RegistryKeyConfig key{*subKey, {}};
        for (const auto& valueItem : item.value().items()) {
            key.values.push_back(ReadRegistryValue(item.key(), valueItem.key(), valueItem.value(), fileName));
        }
        keys.push_back(key);
    }
    return keys;
}

void ReadUser(const json& value, const std::string& fileName, UserConfig& user) {
    ObjectReader reader(value, "user", fileName);
    reader.Read("messageBox", user.messageBox);
    if (user.messageBox != "ok") {
        throw MachineError(fileName + ": \"user.messageBox\" must be \"ok\", not \"" + user.messageBox + "\"");
    }
    reader.Read("finishCheckBox", user.finishCheckBox);
    std::string action = "finish";
    reader.Read("finishAction", action);
    if (action != "finish" && action != "escape") {
        throw MachineError(fileName + ": \"user.finishAction\" must be \"finish\" or \"escape\", not \"" + action +
                           "\"");
    }
    user.finishAction = action == "finish" ? FinishAction::Finish : FinishAction::Escape;
    if (const json* escape = reader.Find("copyDialogEscapeAfterSeconds")) {
        if (escape->is_null()) {
            user.copyDialogEscapeAfterSeconds.reset();
        } else {
            user.copyDialogEscapeAfterSeconds = reader.Seconds("copyDialogEscapeAfterSeconds", *escape);
        }
    }
    reader.RejectUnknownKeys();
}

std::string Narrow(const WString& text) { return Utf16ToUtf8(text); }

// Whole seconds are written as whole numbers.
nlohmann::ordered_json SecondsToJson(double seconds) {
    if (seconds == std::floor(seconds) && seconds < 1e15) return static_cast<std::int64_t>(seconds);
    return seconds;
}

// The machine's own places are full paths ("C:\...").
void RequireAbsolute(const std::string& fileName, const std::string& key, const WString& path) {
    const std::optional<WindowsPath> absolute = ParseAbsoluteWindowsPath(path);
    if (!absolute || (key == "program" && absolute->IsRoot())) {
        throw MachineError(fileName + ": \"" + key + "\" must be a full Windows path (C:\\...), not \"" + Narrow(path) +
                           "\"");
    }
}

// The DOM parser, and where in the document it stands: a JSON error names
// the key whose value it is in ("os.major", "printers[1]"), which the
// parser's own message (a line and a column) does not.
class PlaceTrackingParser {
public:
    explicit PlaceTrackingParser(json& document) : dom_(document, false) {}

    bool null() { return Value(dom_.null()); }
    bool boolean(bool value) { return Value(dom_.boolean(value)); }
    bool number_integer(json::number_integer_t value) { return Value(dom_.number_integer(value)); }
    bool number_unsigned(json::number_unsigned_t value) { return Value(dom_.number_unsigned(value)); }
    bool number_float(json::number_float_t value, const json::string_t& text) {
        return Value(dom_.number_float(value, text));
    }
    bool string(json::string_t& value) { return Value(dom_.string(value)); }
    bool binary(json::binary_t& value) { return Value(dom_.binary(value)); }
    bool start_object(std::size_t size) {
        frames_.push_back({false, {}, 0});
        return dom_.start_object(size);
    }
    bool key(json::string_t& name) {
        frames_.back().key = name;
        return dom_.key(name);
    }
    bool end_object() {
        frames_.pop_back();
        return Value(dom_.end_object());
    }
    bool start_array(std::size_t size) {
        frames_.push_back({true, {}, 0});
        return dom_.start_array(size);
    }
    bool end_array() {
        frames_.pop_back();
        return Value(dom_.end_array());
    }
    bool parse_error(std::size_t, const std::string& lastToken, const nlohmann::detail::exception& error) {
        errorPlace_ = Place();
        errorToken_ = lastToken;
        errorId_ = error.id;
        errorText_ = error.what();
        return false;
    }

    // "os.major", "printers[1].name"; "" at the top level.
    std::string Place() const {
        std::string place;
        for (const Frame& frame : frames_) {
            if (frame.isArray) {
                place += "[" + std::to_string(frame.count) + "]";
            } else if (!frame.key.empty()) {
                if (!place.empty()) place += ".";
                place += frame.key;
            }
        }
        return place;
    }

    const std::string& ErrorPlace() const { return errorPlace_; }
    int ErrorId() const { return errorId_; }
    const std::string& ErrorText() const { return errorText_; }
    const std::string& ErrorToken() const { return errorToken_; }

private:
    struct Frame {
        bool isArray;
        std::string key;    // of an object: the key whose value is being read
        std::size_t count;  // of an array: the elements before the current one
    };

    // A value is complete: the next element of an array follows.
    bool Value(bool ok) {
        if (!frames_.empty() && frames_.back().isArray) ++frames_.back().count;
        return ok;
    }

    nlohmann::detail::json_sax_dom_parser<json> dom_;
    std::vector<Frame> frames_;
    std::string errorPlace_;
    int errorId_ = 0;
    std::string errorText_;
    std::string errorToken_;
};

}  // namespace

json ParseMachineJson(const std::string& content, const std::string& fileName) {
    json document;
    PlaceTrackingParser parser(document);
    if (json::sax_parse(content, &parser, json::input_format_t::json, true)) return document;
    const std::string& place = parser.ErrorPlace();
    // 406: a number that no double holds (1e999).
    if (parser.ErrorId() == 406) {
        throw MachineError(fileName + ": " + (place.empty() ? "the document" : "\"" + place + "\"") +
                           " is a number out of range: " + parser.ErrorToken());
    }
    throw MachineError(fileName + ": not valid JSON" + (place.empty() ? "" : " at \"" + place + "\"") + ": " +
                       parser.ErrorText());
}

std::optional<LocalTime> ParseLocalTime(const std::string& text) {
    LocalTime time;
    char tail = 0;
    if (text.size() != 19 || std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &time.year, &time.month, &time.day,
                                         &time.hour, &time.minute, &time.second, &tail) != 6) {
        return std::nullopt;
    }
    static const int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (time.year < 1601 || time.year > 9999 || time.month < 1 || time.month > 12 || time.day < 1 ||
        time.day > kDaysInMonth[time.month - 1] || time.hour > 23 || time.minute > 59 || time.second > 59) {
        return std::nullopt;
    }
    const bool leap = (time.year % 4 == 0 && time.year % 100 != 0) || time.year % 400 == 0;
    if (time.month == 2 && time.day == 29 && !leap) return std::nullopt;
    return time;
}

std::string FormatLocalTime(const LocalTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", time.year, time.month, time.day, time.hour,
                  time.minute, time.second);
    return text;
}

MachineConfig ParseMachineConfig(const json& document, const std::string& fileName) {
    MachineConfig config;
    ObjectReader reader(document, "", fileName);
    reader.Read("program", config.program);
    reader.Read("argumentText", config.argumentText);
    if (const json* current = reader.Find("currentDirectory")) {
        if (current->is_null()) {
            config.currentDirectoryFails = true;
        } else {
            config.currentDirectory = reader.String("currentDirectory", *current);
        }
    }
    reader.Read("windowsDirectory", config.windowsDirectory);
    if (const json* environment = reader.Find("environment"))
        config.environment = ReadEnvironment(*environment, fileName);
    reader.ReadInteger("userLanguage", config.userLanguage, 0, 0xFFFF);
    reader.ReadInteger("ansiCodePage", config.ansiCodePage, 0, 0xFFFF);
    if (!IsSupportedAnsiCodePage(config.ansiCodePage)) {
        throw MachineError(fileName + ": \"ansiCodePage\" must be one of " + SupportedAnsiCodePages() + ", not " +
                           std::to_string(config.ansiCodePage));
    }
    if (const json* time = reader.Find("localTime")) {
        if (!time->is_string()) reader.Fail("localTime", "must be a string like \"2009-03-07T09:05:02\"", *time);
        std::optional<LocalTime> parsed = ParseLocalTime(time->get<std::string>());
        if (!parsed) {
            throw MachineError(fileName +
                               ": \"localTime\" must be a date and time like \"2009-03-07T09:05:02\", not \"" +
                               time->get<std::string>() + "\"");
        }
        config.localTime = *parsed;
    }
    if (const json* os = reader.Find("os")) ReadOs(*os, fileName, config.os);
    reader.Read("otherInstanceRunning", config.otherInstanceRunning);
    reader.Read("mutexCreationFails", config.mutexCreationFails);
    if (const json* locked = reader.Find("lockedFiles"))
        config.lockedFiles = ReadStringList(*locked, "lockedFiles", fileName);
    if (const json* largest = reader.Find("largestAllocationBytes"); largest && !largest->is_null()) {
        config.largestAllocationBytes = static_cast<std::uint64_t>(
            reader.Integer64("largestAllocationBytes", *largest, 0, std::numeric_limits<std::int64_t>::max()));
    }
    if (const json* programs = reader.Find("programs")) config.programs = ReadPrograms(*programs, fileName);
    if (const json* processes = reader.Find("processes")) config.processes = ReadProcesses(*processes, fileName);
    reader.Read("snapshotFails", config.snapshotFails);
    if (const json* services = reader.Find("services")) config.services = ReadServices(*services, fileName);
    reader.Read("scmOpenFails", config.scmOpenFails);
    if (const json* printers = reader.Find("printers")) config.printers = ReadPrinters(*printers, fileName);
    reader.Read("enumPrintersFails", config.enumPrintersFails);
    reader.Read("addPrinterFails", config.addPrinterFails);
    if (const json* printui = reader.Find("printui")) ReadPrintUi(*printui, fileName, config.printui);
    if (const json* registry = reader.Find("registry")) config.registry = ReadRegistry(*registry, fileName);
    if (const json* user = reader.Find("user")) ReadUser(*user, fileName, config.user);
    reader.RejectUnknownKeys();
    RequireAbsolute(fileName, "program", config.program);
    RequireAbsolute(fileName, "windowsDirectory", config.windowsDirectory);
    if (!config.currentDirectory.empty()) RequireAbsolute(fileName, "currentDirectory", config.currentDirectory);
    return config;
}

MachineConfig LoadMachineConfig(const std::string& fileName) {
    std::string problem;
    const std::optional<std::string> content = ReadRegularHostFile(fileName, kMachineFileMaxBytes, problem);
    if (!content) {
        // The words of the missing file's message stay as they were.
        if (problem == "missing or not accessible") throw MachineError(fileName + ": cannot be read (" + problem + ")");
        throw MachineError(fileName + ": cannot be read: " + problem);
    }
    return ParseMachineConfig(ParseMachineJson(*content, fileName), fileName);
}

std::vector<std::string> MachineConfigKeyPaths() {
    // A machine with one of each object, so that every reader runs; "*"
    // stands for the names of maps and the first element for each of a list.
    static const char* const kEveryObject = R"({
        "os": {}, "programs": {"*": {}}, "processes": [{}], "services": {"*": {}}, "printers": [{}],
        "printui": {}, "registry": {"HKLM\\*": {"*": {"type": "REG_SZ", "data": ""}}}, "user": {}})";
    std::set<std::string> places;
    struct Recording {
        explicit Recording(std::set<std::string>& places) { t_askedPlaces = &places; }
        ~Recording() { t_askedPlaces = nullptr; }
    } recording(places);
    ParseMachineConfig(json::parse(kEveryObject), "machine.json");
    std::vector<std::string> paths;
    for (std::string place : places) {
        for (auto [from, to] : {std::pair{"[0]", "[]"}, {"registry.HKLM\\*.", "registry.*."}}) {
            const std::string pattern(from);
            for (std::size_t at = place.find(pattern); at != std::string::npos; at = place.find(pattern, at)) {
                place.replace(at, pattern.size(), to);
            }
        }
        paths.push_back(place);
    }
    return paths;
}

nlohmann::ordered_json MachineConfigToJson(const MachineConfig& config) {
    using ojson = nlohmann::ordered_json;
    ojson out;
    out["program"] = Narrow(config.program);
    out["argumentText"] = Narrow(config.argumentText);
    if (config.currentDirectoryFails) {
        out["currentDirectory"] = nullptr;
    } else if (!config.currentDirectory.empty()) {
        out["currentDirectory"] = Narrow(config.currentDirectory);
    }
    out["windowsDirectory"] = Narrow(config.windowsDirectory);
    ojson environment = ojson::object();
    for (const EnvironmentVariable& variable : config.environment) {
        environment[Narrow(variable.name)] = Narrow(variable.value);
    }
    out["environment"] = environment;
    out["userLanguage"] = config.userLanguage;
    out["ansiCodePage"] = config.ansiCodePage;
    out["localTime"] = FormatLocalTime(config.localTime);
    out["os"] = {{"major", config.os.major},
                 {"minor", config.os.minor},
                 {"servicePackMajor", config.os.servicePackMajor},
                 {"servicePackMinor", config.os.servicePackMinor},
                 {"bits", config.os.bits},
                 {"isWow64ProcessAvailable", config.os.isWow64ProcessAvailable},
                 {"isWow64ProcessFails", config.os.isWow64ProcessFails}};
    out["otherInstanceRunning"] = config.otherInstanceRunning;
    out["mutexCreationFails"] = config.mutexCreationFails;
    ojson locked = ojson::array();
    for (const WString& path : config.lockedFiles) locked.push_back(Narrow(path));
    out["lockedFiles"] = locked;
    if (config.largestAllocationBytes) out["largestAllocationBytes"] = *config.largestAllocationBytes;
    ojson programs = ojson::object();
    for (const ProgramConfig& program : config.programs) {
        programs[Narrow(program.path)] = {{"runSeconds", SecondsToJson(program.runSeconds)},
                                          {"exitCode", program.exitCode}};
    }
    out["programs"] = programs;
    ojson processes = ojson::array();
    for (const ProcessConfig& process : config.processes) {
        ojson entry = {
            {"name", Narrow(process.name)}, {"pid", process.pid}, {"terminateFails", process.terminateFails}};
        if (!process.pidReusedBy.empty()) entry["pidReusedBy"] = Narrow(process.pidReusedBy);
        processes.push_back(entry);
    }
    out["processes"] = processes;
    out["snapshotFails"] = config.snapshotFails;
    ojson services = ojson::object();
    for (const ServiceConfig& service : config.services) {
        // The stop time of a service still stopping is the time it has left,
        // counted from the clock the state was taken at (see SimMachine::State).
        const bool stopping = service.stopEndsAtMs.has_value();
        ojson entry = {{"state", stopping ? "stopping" : service.running ? "running" : "stopped"}};
        const double stopSeconds = stopping ? static_cast<double>(*service.stopEndsAtMs) / 1000 : service.stopSeconds;
        if (stopSeconds != 0) entry["stopSeconds"] = SecondsToJson(stopSeconds);
        services[Narrow(service.name)] = entry;
    }
    out["services"] = services;
    out["scmOpenFails"] = config.scmOpenFails;
    ojson printers = ojson::array();
    for (const PrinterConfig& printer : config.printers) {
        ojson entry = {{"name", Narrow(printer.name)},
                       {"port", Narrow(printer.port)},
                       {"driver", Narrow(printer.driver)},
                       {"openFails", printer.openFails},
                       {"deleteFails", printer.deleteFails}};
        // The rest of the record only where it is set, as most machines leave it.
        for (auto [key, text] : {std::pair{"printProcessor", &printer.printProcessor},
                                 {"dataType", &printer.dataType},
                                 {"shareName", &printer.shareName},
                                 {"location", &printer.location},
                                 {"comment", &printer.comment},
                                 {"separatorFile", &printer.separatorFile},
                                 {"parameters", &printer.parameters}}) {
            if (!text->empty()) entry[key] = Narrow(*text);
        }
        for (auto [key, number] : {std::pair{"attributes", printer.attributes},
                                   {"priority", printer.priority},
                                   {"defaultPriority", printer.defaultPriority},
                                   {"startTime", printer.startTime},
                                   {"untilTime", printer.untilTime}}) {
            if (number != 0) entry[key] = number;
        }
        printers.push_back(entry);
    }
    out["printers"] = printers;
    out["enumPrintersFails"] = config.enumPrintersFails;
    if (config.addPrinterFails) out["addPrinterFails"] = true;
    out["printui"] = {{"fails", config.printui.fails}, {"runSeconds", SecondsToJson(config.printui.runSeconds)}};
    if (!config.printui.failsFor.empty()) {
        ojson names = ojson::array();
        for (const WString& name : config.printui.failsFor) names.push_back(Narrow(name));
        out["printui"]["failsFor"] = names;
    }
    ojson registry = ojson::object();
    for (const RegistryKeyConfig& key : config.registry) {
        ojson values = ojson::object();
        for (const RegistryValueConfig& value : key.values) {
            if (value.type == kRegDword) {
                values[Narrow(value.name)] = value.number;
            } else if (value.type == kRegExpandSz) {
                values[Narrow(value.name)] = {{"type", "REG_EXPAND_SZ"}, {"data", Narrow(value.text)}};
            } else {
                values[Narrow(value.name)] = Narrow(value.text);
            }
        }
        registry[Narrow(key.path.empty() ? L"HKLM" : L"HKLM\\" + key.path)] = values;
    }
    out["registry"] = registry;
    ojson escape = config.user.copyDialogEscapeAfterSeconds ? SecondsToJson(*config.user.copyDialogEscapeAfterSeconds)
                                                            : ojson(nullptr);
    out["user"] = {{"messageBox", config.user.messageBox},
                   {"finishCheckBox", config.user.finishCheckBox},
                   {"finishAction", config.user.finishAction == FinishAction::Finish ? "finish" : "escape"},
                   {"copyDialogEscapeAfterSeconds", escape}};
    return out;
}

}  // namespace zq::sim
