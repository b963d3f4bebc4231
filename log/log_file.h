// The run's log: %TEMP%\zqmerlesetup000.log ... zqmerlesetup999.log.
//
// One line per message, in single-byte text with CR LF line ends:
//   [03/07/2009 09:05:02]--> Enter DropMain()
// (month/day/year, 24-hour clock, no blank after the bracket). Each line is
// handed to the operating system before the call returns. A message is
// written when its level is at most the configured level; the configured
// level is 1 until the command line and the settings file have been read.
//
// The launcher runs elevated, and %TEMP% is a folder that the user's
// unelevated programs can write to. So the file is always created new:
// never opened through a name that exists already, nor through a link or a
// junction planted at its name (which would make the elevated process write
// wherever the link points). It stays open for the run, shared for reading
// only, and every line goes through that one handle.
#pragma once

#include <memory>

#include "base/format.h"
#include "base/text.h"
#include "platform/platform.h"

namespace zq {

inline constexpr int LOG_HIGH = 1;
inline constexpr int LOG_MEDIUM = 127;
inline constexpr int LOG_LOW = 511;

// The longest message; a longer one is cut to this many characters.
inline constexpr std::size_t kLogMessageChars = 512;
// zqmerlesetup000.log to zqmerlesetup999.log.
inline constexpr int kLogFileNames = 1000;

// Pure pieces of the logger, apart from its effects.
// The folder part of the names: TEMP with one backslash at its end. A TEMP
// that ends in a separator already gets none added, since a doubled one
// makes some Windows calls fail on the path (the shell's among them). An
// unset or empty TEMP gives "\", the root of the current drive.
WString LogFolderOf(const WString& temp);
WString LogFileCandidate(const WString& folder, int counter);
WString LogTimeStamp(const LocalTime& time);
// The bytes of one line: each character U+0001..U+00FF as the byte of the
// same value, any other character as '?', and every line feed as CR LF (the
// C library's text mode), the line's own end included. The message ends at
// its first NUL, as a C string does.
std::string EncodeLogLine(const WString& timeStamp, const WString& message);
// Only 1, 127 and 511 are levels; anything else means 1.
int NormalizeLogLevel(int requested);

class CLogFile {
public:
    explicit CLogFile(Platform& platform);

    // Writes the message when level <= the configured level; 1 when written.
    template <class... Args>
    int LogMessage(int level, std::wstring_view format, const Args&... args) {
        if (level > level_) return 0;
        return WriteLine(Format(format, args...));
    }
    // Writes the message whatever the level.
    template <class... Args>
    int LogAlways(std::wstring_view format, const Args&... args) {
        return WriteLine(Format(format, args...));
    }
    // Time stamp, then the line through the run's file (created by the
    // first line); 0 when the file could not be created or written.
    int WriteLine(WString message);

    // Once, by the command line's application (1, 127 or 511; else 1).
    void SetLevel(int requested) { level_ = NormalizeLogLevel(requested); }
    int Level() const { return level_; }
    // The chosen name; once the file exists, its name. The folder alone when
    // every name is taken.
    const WString& Path() const { return path_; }

private:
    bool SelectLogFileName();
    bool CreateLogFile();
    bool IsNameTaken(const NewFileCreation& refused) const;

    Platform& platform_;
    WString folder_;  // the temporary folder, with one backslash at its end
    WString path_;
    int counter_ = 0;                 // the number in path_'s name; kLogFileNames when none is left
    std::unique_ptr<INewFile> file_;  // made by the first line, kept until the end
    int level_ = LOG_HIGH;
    // One lock around each whole line: the copy-progress dialog's thread
    // logs too, and lines must never mix or get lost.
    std::unique_ptr<ILock> lineLock_;
};

}  // namespace zq
