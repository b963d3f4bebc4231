// Registry, print spooler and service control manager of the simulated
// machine. Printers and the registry are one state: a printer's data is the
// key SYSTEM\CurrentControlSet\Control\Print\Printers\NAME, which goes with
// the printer. On a 64-bit machine the launcher, a 32-bit process, sees
// WOW64's registry views (RegistryKeyInView).
#include <algorithm>
#include <cmath>

#include "base/text.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/wildcard.h"

namespace zq::sim {

namespace {

// Key paths compare without regard to case; surrounding backslashes do not count.
WString KeyPathKey(std::wstring_view path) {
    while (!path.empty() && path.front() == L'\\') path.remove_prefix(1);
    while (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
    return FoldName(path);
}

bool IsKeyOrBelow(const WString& keyPath, const WString& outerPath) {
    const WString key = KeyPathKey(keyPath), outer = KeyPathKey(outerPath);
    if (outer.empty()) return true;
    return key == outer ||
           (key.size() > outer.size() && key.compare(0, outer.size(), outer) == 0 && key[outer.size()] == L'\\');
}

RegistryKeyConfig* FindKey(MachineConfig& state, const WString& subKey) {
    for (RegistryKeyConfig& key : state.registry) {
        if (KeyPathKey(key.path) == KeyPathKey(subKey)) return &key;
    }
    return nullptr;
}

// A key exists when it is listed, or when a key below it is (its parents
// exist with it); HKEY_LOCAL_MACHINE itself always exists.
bool KeyExists(const MachineConfig& state, const WString& subKey) {
    return KeyPathKey(subKey).empty() ||
           std::any_of(state.registry.begin(), state.registry.end(),
                       [&](const RegistryKeyConfig& key) { return IsKeyOrBelow(key.path, subKey); });
}

RegistryValueConfig* FindValue(RegistryKeyConfig& key, const WString& name) {
    for (RegistryValueConfig& value : key.values) {
        if (NamesEqual(value.name, name)) return &value;
    }
    return nullptr;
}

RegistryValue ToRegistryValue(const RegistryValueConfig& value) {
    RegistryValue result;
    result.type = value.type;
    if (value.type == kRegDword) {
        for (int shift = 0; shift < 32; shift += 8)
            result.data.push_back(static_cast<std::uint8_t>(value.number >> shift));
    } else {
        // RegQueryValueExW hands back the stored string with its terminating NUL.
        std::string bytes = StringToUtf16LeBytes(value.text);
        result.data.assign(bytes.begin(), bytes.end());
        result.data.push_back(0);
        result.data.push_back(0);
    }
    return result;
}

class SimRegistryKey : public IRegistryKey {
public:
    SimRegistryKey(MachineCore& core, WString subKey, RegistryAccess access)
        : core_(core), subKey_(std::move(subKey)), access_(access) {}

    std::optional<RegistryValue> QueryValue(const WString& name, std::size_t bufferBytes) override {
        std::lock_guard guard(core_.mutex);
        RegistryKeyConfig* key = FindKey(core_.state, subKey_);
        RegistryValueConfig* value = key ? FindValue(*key, name) : nullptr;
        if (!value) return std::nullopt;
        RegistryValue result = ToRegistryValue(*value);
        if (result.data.size() > bufferBytes) return std::nullopt;  // ERROR_MORE_DATA
        return result;
    }

    RegistryRead ReadWholeValue(const WString& name) override {
        std::lock_guard guard(core_.mutex);
        RegistryKeyConfig* key = FindKey(core_.state, subKey_);
        RegistryValueConfig* value = key ? FindValue(*key, name) : nullptr;
        if (!value) return RegistryRead{kErrorFileNotFound, {}};
        return RegistryRead{0, ToRegistryValue(*value)};
    }

    ErrorCode SetString(const WString& name, const WString& text) override {
        RegistryValueConfig value{name, kRegSz, text, 0};
        return Set(value, Narrow(text));
    }

    ErrorCode SetDword(const WString& name, std::uint32_t number) override {
        RegistryValueConfig value{name, kRegDword, {}, number};
        return Set(value, number);
    }

private:
    ErrorCode Set(const RegistryValueConfig& value, const nlohmann::ordered_json& data) {
        std::lock_guard guard(core_.mutex);
        ErrorCode error = 0;
        if (access_ != RegistryAccess::Write) {
            error = kErrorAccessDenied;
        } else if (!KeyExists(core_.state, subKey_)) {
            error = kErrorKeyDeleted;
        } else {
            RegistryKeyConfig& key = EnsureRegistryKey(core_.state, subKey_);
            if (RegistryValueConfig* existing = FindValue(key, value.name)) {
                // The stored name keeps its spelling.
                existing->type = value.type;
                existing->text = value.text;
                existing->number = value.number;
            } else {
                key.values.push_back(value);
            }
        }
        if (error == 0) {
            core_.Journal("registryWrite", {{"key", Narrow(L"HKLM\\" + subKey_)},
                                            {"value", Narrow(value.name)},
                                            {"type", value.type == kRegDword ? "REG_DWORD" : "REG_SZ"},
                                            {"data", data}});
        }
        return error;
    }

    MachineCore& core_;
    WString subKey_;
    RegistryAccess access_;
};

PrinterConfig* FindPrinter(MachineConfig& state, const WString& name) {
    for (PrinterConfig& printer : state.printers) {
        if (NamesEqual(printer.name, name)) return &printer;
    }
    return nullptr;
}

class SimPrinter : public IPrinter {
public:
    SimPrinter(MachineCore& core, WString name) : core_(core), name_(std::move(name)) {}

    ErrorCode Delete() override {
        std::lock_guard guard(core_.mutex);
        PrinterConfig* printer = FindPrinter(core_.state, name_);
        ErrorCode error = 0;
        if (!printer) {
            error = kErrorInvalidPrinterName;
        } else if (printer->deleteFails) {
            error = kErrorAccessDenied;
        } else {
            const WString storedName = printer->name;
            auto& printers = core_.state.printers;
            printers.erase(printers.begin() + (printer - printers.data()));
            DeleteRegistryTree(core_.state, PrinterRegistryKey(storedName));
        }
        core_.SetLastError(error);
        core_.Journal("printerDeleted", {{"name", Narrow(name_)}, {"ok", error == 0}});
        return error;
    }

    ErrorCode SetDataText(const WString& name, const WString& text) override {
        std::lock_guard guard(core_.mutex);
        PrinterConfig* printer = FindPrinter(core_.state, name_);
        if (!printer) return kErrorInvalidPrinterName;
        // The spooler makes the driver-data key when the printer has none,
        // then writes the value as a registry write does.
        const WString subKey = PrinterRegistryKey(printer->name) + L"\\PrinterDriverData";
        EnsureRegistryKey(core_.state, subKey);
        return SimRegistryKey(core_, subKey, RegistryAccess::Write).SetString(name, text);
    }

private:
    MachineCore& core_;
    WString name_;
};

ServiceConfig* FindService(MachineConfig& state, const WString& name) {
    for (ServiceConfig& service : state.services) {
        if (NamesEqual(service.name, name)) return &service;
    }
    return nullptr;
}

// A stop ends at once, or after the service's stopSeconds of virtual time,
// during which it reports stop-pending; a start is taken at once.
class SimService : public IService {
public:
    SimService(MachineCore& core, WString name) : core_(core), name_(std::move(name)) {}

    ErrorCode Stop() override { return Control("stop", false); }
    ErrorCode Start() override { return Control("start", true); }

    std::optional<std::uint32_t> CurrentState() override {
        std::lock_guard guard(core_.mutex);
        ServiceConfig* service = FindService(core_.state, name_);
        if (!service) {
            // No service is ever removed, so an open one is always found;
            // should it not be, the query fails as on a stale handle.
            core_.SetLastError(kErrorInvalidHandle);
            return std::nullopt;
        }
        SettleStop(*service);
        core_.SetLastError(0);
        if (service->stopEndsAtMs) return kServiceStopPending;
        return service->running ? kServiceRunning : kServiceStopped;
    }

private:
    // A stop whose time has passed has ended.
    void SettleStop(ServiceConfig& service) {
        if (service.stopEndsAtMs && core_.ElapsedMs() >= *service.stopEndsAtMs) service.stopEndsAtMs.reset();
    }

    ErrorCode Control(const char* action, bool run) {
        std::lock_guard guard(core_.mutex);
        ServiceConfig* service = FindService(core_.state, name_);
        ErrorCode error = 0;
        if (service) SettleStop(*service);
        if (!service) {
            error = kErrorServiceDoesNotExist;
        } else if (service->stopEndsAtMs) {
            // Still stopping: the old instance has not gone yet.
            error = run ? kErrorServiceAlreadyRunning : kErrorServiceCannotAcceptControl;
        } else if (service->running == run) {
            error = run ? kErrorServiceAlreadyRunning : kErrorServiceNotActive;
        } else {
            service->running = run;
            if (!run && service->stopSeconds > 0)
                service->stopEndsAtMs = core_.ElapsedMs() + std::llround(service->stopSeconds * 1000);
        }
        core_.SetLastError(error);
        core_.Journal("serviceControl", {{"service", Narrow(name_)}, {"action", action}, {"error", error}});
        return error;
    }

    MachineCore& core_;
    WString name_;
};

class SimServiceManager : public IServiceManager {
public:
    explicit SimServiceManager(MachineCore& core) : core_(core) {}

    ServiceOpen OpenService(const WString& name) override {
        std::lock_guard guard(core_.mutex);
        ErrorCode error = 0;
        if (name.empty()) {
            error = kErrorInvalidName;
        } else if (!FindService(core_.state, name)) {
            error = kErrorServiceDoesNotExist;
        }
        core_.SetLastError(error);
        if (error) return ServiceOpen{nullptr, error};
        return ServiceOpen{std::make_unique<SimService>(core_, name), 0};
    }

private:
    MachineCore& core_;
};

}  // namespace

WString PrinterRegistryKey(const WString& printerName) {
    return L"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + printerName;
}

void AddPrinterToState(MachineConfig& state, const PrinterRecord& record) {
    PrinterConfig printer;
    static_cast<PrinterRecord&>(printer) = record;
    state.printers.push_back(printer);
    EnsureRegistryKey(state, PrinterRegistryKey(record.name) + L"\\PrinterDriverData");
}

void DeleteRegistryTree(MachineConfig& state, const WString& subKey) {
    auto& keys = state.registry;
    keys.erase(std::remove_if(keys.begin(), keys.end(),
                              [&](const RegistryKeyConfig& key) { return IsKeyOrBelow(key.path, subKey); }),
               keys.end());
}

RegistryKeyConfig& EnsureRegistryKey(MachineConfig& state, const WString& subKey) {
    if (RegistryKeyConfig* key = FindKey(state, subKey)) return *key;
    state.registry.push_back(RegistryKeyConfig{subKey, {}});
    return state.registry.back();
}

// On 64-bit Windows the registry redirector gives a 32-bit process its own
// view of HKLM\SOFTWARE, kept under SOFTWARE\Wow6432Node; KEY_WOW64_64KEY
// asks for the 64-bit view instead. Everything outside SOFTWARE (SYSTEM
// above all) is one key in both views. Not modelled: the few SOFTWARE
// subkeys that Windows shares between the views (Classes and some of
// Microsoft's keys from Windows 7 on; reflection before it); the launcher
// reads none of them. A path that already names Wow6432Node is taken as it is.
WString RegistryKeyInView(const WString& subKey, RegistryView view, bool is64BitMachine) {
    if (!is64BitMachine || view == RegistryView::Force64) return subKey;
    const std::wstring_view software = L"SOFTWARE";
    const std::wstring_view wow = L"Wow6432Node";
    std::wstring_view path = subKey;
    while (!path.empty() && path.front() == L'\\') path.remove_prefix(1);
    const std::size_t end = path.find(L'\\');
    if (!NamesEqual(path.substr(0, end), software)) return subKey;
    if (end == std::wstring_view::npos) return WString(path) + L"\\Wow6432Node";
    std::wstring_view rest = path.substr(end + 1);
    if (NamesEqual(rest.substr(0, rest.find(L'\\')), wow)) return subKey;
    return WString(path.substr(0, end)) + L"\\Wow6432Node\\" + WString(rest);
}

std::unique_ptr<IRegistryKey> SimRegistry::OpenLocalMachineKey(const WString& subKey, RegistryAccess access,
                                                               RegistryView view) {
    std::lock_guard guard(core_.mutex);
    const bool is64Bit = core_.Is64Bit();
    const WString key = RegistryKeyInView(subKey, view, is64Bit);
    const bool exists = KeyExists(core_.state, key);
    if (access == RegistryAccess::Read) {
        // Which view a read used: only a 64-bit machine has two.
        nlohmann::ordered_json viewField;
        if (is64Bit) viewField = view == RegistryView::Force64 ? "64-bit" : "32-bit";
        core_.Journal("registryRead", {{"key", Narrow(L"HKLM\\" + key)}, {"view", viewField}, {"found", exists}});
    }
    if (!exists) return nullptr;
    return std::make_unique<SimRegistryKey>(core_, key, access);
}

std::optional<std::vector<PrinterRecord>> SimSpooler::EnumLocalPrinters() {
    std::lock_guard guard(core_.mutex);
    if (core_.state.enumPrintersFails) {
        core_.SetLastError(kErrorAccessDenied);
        return std::nullopt;
    }
    std::vector<PrinterRecord> records(core_.state.printers.begin(), core_.state.printers.end());
    core_.SetLastError(0);
    return records;
}

PrinterOpen SimSpooler::Open(const WString& printerName) {
    std::lock_guard guard(core_.mutex);
    PrinterConfig* printer = FindPrinter(core_.state, printerName);
    ErrorCode error = !printer ? kErrorInvalidPrinterName : printer->openFails ? kErrorAccessDenied : 0;
    core_.SetLastError(error);
    if (error) return PrinterOpen{nullptr, error};
    return PrinterOpen{std::make_unique<SimPrinter>(core_, printerName), 0};
}

// AddPrinterW: the printer and its (empty) driver data appear, as the
// spooler makes them; a name already taken is refused.
ErrorCode SimSpooler::Add(const PrinterRecord& record) {
    std::lock_guard guard(core_.mutex);
    ErrorCode error = 0;
    if (core_.state.addPrinterFails) {
        error = kErrorAccessDenied;
    } else if (record.name.empty()) {
        error = kErrorInvalidPrinterName;
    } else if (FindPrinter(core_.state, record.name)) {
        error = kErrorPrinterAlreadyExists;
    } else {
        AddPrinterToState(core_.state, record);
    }
    core_.SetLastError(error);
    core_.Journal("printerRestored", {{"name", Narrow(record.name)},
                                      {"port", Narrow(record.port)},
                                      {"driver", Narrow(record.driver)},
                                      {"ok", error == 0}});
    return error;
}

ServiceManagerOpen SimServices::OpenManager() {
    std::lock_guard guard(core_.mutex);
    if (core_.state.scmOpenFails) {
        core_.SetLastError(kErrorAccessDenied);
        return ServiceManagerOpen{nullptr, kErrorAccessDenied};
    }
    core_.SetLastError(0);
    return ServiceManagerOpen{std::make_unique<SimServiceManager>(core_), 0};
}

}  // namespace zq::sim
