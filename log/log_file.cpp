#include "log/log_file.h"

namespace zq {

namespace {
const wchar_t kLogBaseName[] = L"zqmerlesetup";
constexpr int kLogFileNames = 1000;
}  // namespace

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
    // No test of the value: a TEMP that ends in a backslash gets a second one.
    path_ = platform_.environment.EnvironmentVariable(L"TEMP").value_or(L"") + L"\\";
    SelectLogFileName();
}

// The first free name of zqmerlesetup000.log to zqmerlesetup999.log. A
// folder of that name counts as taken. The name is not reserved: the file
// comes into being with the first line. With all names taken the path stays
// the folder, every open fails, and the run logs nothing.
bool CLogFile::SelectLogFileName() {
    const WString folder = path_;
    for (int counter = 0; counter < kLogFileNames; ++counter) {
        WString candidate = LogFileCandidate(folder, counter);
        if (!platform_.files.Exists(candidate)) {
            path_ = candidate;
            return true;
        }
    }
    return false;
}

int CLogFile::WriteLine(WString message) {
    if (message.size() > kLogMessageChars) message.resize(kLogMessageChars);
    LockGuard guard(*lineLock_);
    std::string line = EncodeLogLine(LogTimeStamp(platform_.environment.Now()), message);
    return platform_.files.AppendBytes(path_, line) ? 1 : 0;
}

}  // namespace zq
