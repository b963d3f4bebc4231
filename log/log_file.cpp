#include "log/log_file.h"

namespace zq {

namespace {
const wchar_t kLogBaseName[] = L"zqmerlesetup";

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
}  // namespace

WString LogFolderOf(const WString& temp) {
    std::size_t end = temp.size();
    while (end > 0 && IsSeparator(temp[end - 1])) --end;
    return temp.substr(0, end) + L"\\";
}

WString LogFileCandidate(const WString& folder, int counter) {
    return Format(L"%s%s%03d.log", folder, kLogBaseName, counter);
}

WString LogTimeStamp(const LocalTime& t) {
    return Format(L"[%02d/%02d/%04d %02d:%02d:%02d]", t.month, t.day, t.year, t.hour, t.minute, t.second);
}

std::string EncodeLogLine(const WString& timeStamp, const WString& message) {
    std::string bytes;
    bytes.reserve(timeStamp.size() + message.size() + 2);
    auto put = [&bytes](wchar_t c) {
        if (c == L'\n') {
            bytes += "\r\n";
        } else {
            unsigned unit = static_cast<unsigned>(c) & 0xFFFF;
            bytes.push_back(unit <= 0xFF ? static_cast<char>(unit) : '?');
        }
    };
    for (wchar_t c : timeStamp) put(c);
    for (wchar_t c : message) {
        if (c == L'\0') break;
        put(c);
    }
    put(L'\n');
    return bytes;
}

int NormalizeLogLevel(int requested) {
    return requested == LOG_HIGH || requested == LOG_MEDIUM || requested == LOG_LOW ? requested : LOG_HIGH;
}

CLogFile::CLogFile(Platform& platform) : platform_(platform), lineLock_(platform.threads.MakeLock()) {
    folder_ = LogFolderOf(platform_.environment.EnvironmentVariable(L"TEMP").value_or(L""));
    path_ = folder_;
    SelectLogFileName();
}

// The first free name of zqmerlesetup000.log to zqmerlesetup999.log; a
// folder or a link of that name counts as taken. Only chosen here: the file
// is created by the first line (CreateLogFile), so a run that writes no
// line leaves no file. With all names taken the path stays the folder, and
// the run logs nothing.
bool CLogFile::SelectLogFileName() {
    for (counter_ = 0; counter_ < kLogFileNames; ++counter_) {
        WString candidate = LogFileCandidate(folder_, counter_);
        if (!platform_.files.Exists(candidate)) {
            path_ = std::move(candidate);
            return true;
        }
    }
    return false;
}

// Between the choice and the first line, another program may have taken the
// name: another run of the launcher, or one that plants a link there for
// the elevated launcher to write through. The creation refuses any name
// that exists, and the next number is tried. When it fails for another
// reason (the folder is missing, no rights), this line is lost, and the
// next line tries the same name again.
bool CLogFile::CreateLogFile() {
    for (; counter_ < kLogFileNames; ++counter_) {
        path_ = LogFileCandidate(folder_, counter_);
        NewFileCreation created = platform_.files.CreateNewFile(path_);
        if (created.file) {
            file_ = std::move(created.file);
            return true;
        }
        if (!IsNameTaken(created)) return false;
    }
    path_ = folder_;
    return false;
}

// Wine answers a file, a folder and a link alike with ERROR_FILE_EXISTS;
// whatever another system answers, a name at which something exists is
// taken, and only a name that is still free keeps this run on it.
bool CLogFile::IsNameTaken(const NewFileCreation& refused) const {
    return refused.error == kErrorFileExists || refused.error == kErrorAlreadyExists || platform_.files.Exists(path_);
}

int CLogFile::WriteLine(WString message) {
    if (message.size() > kLogMessageChars) message.resize(kLogMessageChars);
    LockGuard guard(*lineLock_);
    if (!file_ && !CreateLogFile()) return 0;
    std::string line = EncodeLogLine(LogTimeStamp(platform_.environment.Now()), message);
    return file_->Write(line) ? 1 : 0;
}

}  // namespace zq
