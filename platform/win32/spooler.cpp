#include "platform/win32/win32_platform.h"

#include <winspool.h>

namespace zq::win32 {

// The spooler's functions are taken from winspool.drv at run time, by the
// full path of the system folder's copy: the exe imports nothing from the
// spooler, so a run that never touches printers never loads it, and no
// winspool.drv beside the package can stand in for the system's.
struct SpoolerFunctions {
    decltype(&::EnumPrintersW) enumPrinters = nullptr;
    decltype(&::OpenPrinterW) openPrinter = nullptr;
    decltype(&::DeletePrinter) deletePrinter = nullptr;
    decltype(&::ClosePrinter) closePrinter = nullptr;
    decltype(&::AddPrinterW) addPrinter = nullptr;
    decltype(&::SetPrinterDataW) setPrinterData = nullptr;

    bool IsComplete() const {
        return enumPrinters && openPrinter && deletePrinter && closePrinter && addPrinter && setPrinterData;
    }
};

namespace {

// An open printer; ClosePrinter is the spooler's, so the owner keeps the
// function table, which the spooler object keeps loaded.
class Win32Printer final : public IPrinter {
public:
    Win32Printer(HANDLE printer, const SpoolerFunctions& functions) : printer_(printer), functions_(functions) {}
    ~Win32Printer() override { functions_.closePrinter(printer_); }
    Win32Printer(const Win32Printer&) = delete;
    Win32Printer& operator=(const Win32Printer&) = delete;

    ErrorCode Delete() override { return functions_.deletePrinter(printer_) ? 0 : ::GetLastError(); }

    ErrorCode SetDataText(const WString& name, const WString& text) override {
        WString valueName = name;  // taken as non-const
        const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        return functions_.setPrinterData(printer_, valueName.data(), REG_SZ,
                                         reinterpret_cast<BYTE*>(const_cast<wchar_t*>(text.c_str())), bytes);
    }

private:
    HANDLE printer_;
    const SpoolerFunctions& functions_;
};

WString TextOrEmpty(const wchar_t* text) { return text != nullptr ? WString(text) : WString(); }

PrinterRecord RecordOf(const PRINTER_INFO_2W& info) {
    PrinterRecord record;
    record.name = TextOrEmpty(info.pPrinterName);
    record.port = TextOrEmpty(info.pPortName);
    record.driver = TextOrEmpty(info.pDriverName);
    record.printProcessor = TextOrEmpty(info.pPrintProcessor);
    record.dataType = TextOrEmpty(info.pDatatype);
    record.shareName = TextOrEmpty(info.pShareName);
    record.location = TextOrEmpty(info.pLocation);
    record.comment = TextOrEmpty(info.pComment);
    record.separatorFile = TextOrEmpty(info.pSepFile);
    record.parameters = TextOrEmpty(info.pParameters);
    record.attributes = info.Attributes;
    record.priority = info.Priority;
    record.defaultPriority = info.DefaultPriority;
    record.startTime = info.StartTime;
    record.untilTime = info.UntilTime;
    return record;
}

// The spooler takes the strings as non-const; an empty one is passed as
// none, as the enumeration reports an unset field.
wchar_t* TextOrNull(WString& text) { return text.empty() ? nullptr : text.data(); }

}  // namespace

Win32Spooler::Win32Spooler() = default;
Win32Spooler::~Win32Spooler() = default;

const SpoolerFunctions* Win32Spooler::Functions() {
    if (functions_) return functions_.get();
    if (!module_) {
        wchar_t folder[MAX_PATH];
        UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return nullptr;
        module_.Reset(::LoadLibraryW((WString(folder, length) + L"\\winspool.drv").c_str()));
        if (!module_) return nullptr;
    }
    auto functions = std::make_unique<SpoolerFunctions>();
    functions->enumPrinters = ProcAddress<decltype(&::EnumPrintersW)>(module_.Get(), "EnumPrintersW");
    functions->openPrinter = ProcAddress<decltype(&::OpenPrinterW)>(module_.Get(), "OpenPrinterW");
    functions->deletePrinter = ProcAddress<decltype(&::DeletePrinter)>(module_.Get(), "DeletePrinter");
    functions->closePrinter = ProcAddress<decltype(&::ClosePrinter)>(module_.Get(), "ClosePrinter");
    functions->addPrinter = ProcAddress<decltype(&::AddPrinterW)>(module_.Get(), "AddPrinterW");
    functions->setPrinterData = ProcAddress<decltype(&::SetPrinterDataW)>(module_.Get(), "SetPrinterDataW");
    if (!functions->IsComplete()) return nullptr;  // GetProcAddress has set ERROR_PROC_NOT_FOUND
    functions_ = std::move(functions);
    return functions_.get();
}

std::optional<std::vector<PrinterRecord>> Win32Spooler::EnumLocalPrinters() {
    const SpoolerFunctions* spooler = Functions();
    if (spooler == nullptr) return std::nullopt;

    // First the size, then the records. With printers the sizing call fails
    // with ERROR_INSUFFICIENT_BUFFER; with none Wine answers TRUE and 0.
    DWORD needed = 0;
    DWORD returned = 0;
    spooler->enumPrinters(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);

    // Whole records, so that the pointers inside them are aligned.
    std::vector<PRINTER_INFO_2W> records((needed + sizeof(PRINTER_INFO_2W) - 1) / sizeof(PRINTER_INFO_2W));
    returned = 0;
    if (!spooler->enumPrinters(PRINTER_ENUM_LOCAL, nullptr, 2, reinterpret_cast<BYTE*>(records.data()), needed, &needed,
                               &returned)) {
        return std::nullopt;
    }
    std::vector<PrinterRecord> printers;
    for (DWORD i = 0; i < returned; ++i) printers.push_back(RecordOf(records[i]));
    return printers;
}

PrinterOpen Win32Spooler::Open(const WString& printerName) {
    const SpoolerFunctions* spooler = Functions();
    if (spooler == nullptr) return PrinterOpen{nullptr, ::GetLastError()};

    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    WString name = printerName;  // OpenPrinterW takes the name as non-const
    HANDLE printer = nullptr;
    if (!spooler->openPrinter(name.data(), &printer, &defaults)) return PrinterOpen{nullptr, ::GetLastError()};
    return PrinterOpen{std::make_unique<Win32Printer>(printer, *spooler), 0};
}

ErrorCode Win32Spooler::Add(const PrinterRecord& printer) {
    const SpoolerFunctions* spooler = Functions();
    if (spooler == nullptr) return ::GetLastError();

    PrinterRecord text = printer;  // writable copies of the strings
    PRINTER_INFO_2W info{};
    info.pPrinterName = TextOrNull(text.name);
    info.pShareName = TextOrNull(text.shareName);
    info.pPortName = TextOrNull(text.port);
    info.pDriverName = TextOrNull(text.driver);
    info.pComment = TextOrNull(text.comment);
    info.pLocation = TextOrNull(text.location);
    info.pSepFile = TextOrNull(text.separatorFile);
    info.pPrintProcessor = TextOrNull(text.printProcessor);
    info.pDatatype = TextOrNull(text.dataType);
    info.pParameters = TextOrNull(text.parameters);
    info.Attributes = printer.attributes;
    info.Priority = printer.priority;
    info.DefaultPriority = printer.defaultPriority;
    info.StartTime = printer.startTime;
    info.UntilTime = printer.untilTime;
    HANDLE added = spooler->addPrinter(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (added == nullptr) return ::GetLastError();
    spooler->closePrinter(added);
    return 0;
}

}  // namespace zq::win32
