#include "run/result_file.h"

#include "base/json_text.h"

namespace zq {

WString IsoLocalTime(const LocalTime& time) {
    return Format(L"%04d-%02d-%02dT%02d:%02d:%02d", time.year, time.month, time.day, time.hour, time.minute,
                  time.second);
}

std::string ResultFileJson(const LauncherProcess& process, int exitCode, const LocalTime& endTime) {
    const RunReport& report = process.Report;
    JsonWriter json;
    json.BeginObject();
    json.Key("formatVersion").Number(kResultFormatVersion);
    json.Key("exitCode").Number(exitCode);
    json.Key("outcome").String(WidenAscii(OutcomeWord(exitCode)));
    json.Key("restartNeeded").Bool(IsRestartNeeded(report));
    json.Key("restartStarted").Bool(IsRestartStarted(report));
    json.Key("launcherVersion").String(kProgramVersion);
    json.Key("switches").BeginObject();
    json.Key("quiet").Bool(process.Managed.quiet);
    json.Key("noRestart").Bool(process.Managed.noRestart);
    json.EndObject();
    json.Key("settingsFile").String(process.SettingsFilePath);
    json.Key("logFile").String(process.g_logFile.Path());
    json.Key("startTime").String(IsoLocalTime(report.startTime));
    json.Key("endTime").String(IsoLocalTime(endTime));
    json.Key("osEntry").OptionalString(report.osEntry);
    json.Key("driver");
    if (report.keyword) {
        json.BeginObject();
        json.Key("keyword").String(*report.keyword);
        json.Key("infFile").OptionalString(report.keywordInfFile);
        json.EndObject();
    } else {
        json.Null();
    }
    json.Key("programs").BeginArray();
    for (const ProgramRun& program : report.programs) {
        json.BeginObject();
        json.Key("commandLine").String(program.commandLine);
        json.Key("started").Bool(program.started);
        json.Key("startError").Number(program.startError);
        json.Key("exitCode")
            .OptionalNumber(program.exitCode ? std::optional<std::int64_t>(*program.exitCode) : std::nullopt);
        json.EndObject();
    }
    json.EndArray();
    json.Key("printers").BeginArray();
    for (const PrinterResult& printer : process.PrinterResults) {
        json.BeginObject();
        json.Key("name").String(printer.name);
        json.Key("port").String(printer.port);
        json.Key("driver").String(printer.driver);
        json.Key("outcome").String(WidenAscii(PrinterOutcomeName(printer.outcome)));
        json.EndObject();
    }
    json.EndArray();
    json.Key("messages").BeginArray();
    for (const LoggedMessage& message : report.messages) {
        json.BeginObject();
        json.Key("number").Number(message.number);
        json.Key("text").String(message.text);
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    return json.Text() + "\n";
}

WString TemporaryNameBeside(const WString& path, int number) { return Format(L"%s.%d.tmp", path, number); }

ErrorCode WriteFileReplacing(IFiles& files, const WString& path, const std::string& bytes) {
    ErrorCode error = kErrorFileExists;
    for (int number = 0; number < kResultTemporaryNames; ++number) {
        const WString temporary = TemporaryNameBeside(path, number);
        // A new file only: a name that is taken (another run's leftover, or
        // a link planted there) is passed over, never written through.
        NewFileCreation created = files.CreateNewFile(temporary);
        if (!created.file) {
            error = created.error;
            if (error == kErrorFileExists) continue;
            return error;
        }
        const bool written = created.file->Write(bytes);
        created.file.reset();  // closed: Windows renames no file that is open without sharing
        error = written ? files.MoveFileReplacing(temporary, path) : kErrorWriteFault;
        if (error != 0) {
            // Nothing half-written is left beside the result file. If even
            // the removal fails, the run has no better place to say so than
            // the line its caller writes.
            (void)files.RemoveFile(temporary);
        }
        return error;
    }
    return error;
}

bool WriteResultFileOnce(LauncherProcess& process, int exitCode) {
    if (!process.Managed.resultPath) return true;
    if (process.ResultFileWritten) return *process.ResultFileWritten;
    const WString& path = *process.Managed.resultPath;
    bool written = false;
    try {
        const std::string text = ResultFileJson(process, exitCode, process.platform.environment.Now());
        written = WriteFileReplacing(process.platform.files, path, text) == 0;
    } catch (...) {
        // No memory for the file's text: it is not written, and says so.
    }
    if (!written) process.g_logFile.LogMessage(LOG_HIGH, L"## Result file not written : %s", path);
    process.ResultFileWritten = written;
    return written;
}

void BeforeRestart(LauncherProcess& process) {
    process.Report.restartStarted = true;
    WriteResultFileOnce(process, ManagedExitCode(process.Report, process.PrinterResults));
}

}  // namespace zq
