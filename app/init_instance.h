// The start-up operation that carries the whole run.
#pragma once

#include "run/application.h"

namespace zq {

inline constexpr wchar_t kMessageBoxCaption[] = L"ZQ Merle Refresh Installer";
inline constexpr wchar_t kInstanceMutexName[] = L"ZQMERLESETUP{d76aa900-b3ad-4ccb-b1d3-a70f90295520}";

// Log header, command line, single instance, the operating-system loop, the
// driver check, then the package launch. FALSE on every refusal.
bool InitInstance(LauncherProcess& process);

// Message `number` of the settings file in the user's language, "\n"
// (backslash, n) turned into line breaks, in a box with an OK button. In a
// "-quiet" run the text is logged as "## Message %d : %s" at level 1
// instead, and the answer is OK.
int ShowMessageBox(LauncherProcess& process, const WString& settingsFilePath, int number);

// "\n" as two characters becomes a line feed, left to right.
WString ExpandLineBreaks(const WString& text);

// The folder of a full path, without its trailing backslash; the whole
// path when it has no backslash.
WString FolderOf(const WString& path);
// The file name without folder and extension.
WString BaseNameOf(const WString& path);

// The framework's tokeniser over os_list: entries between commas, runs of
// commas count as one, no trimming; then one final empty entry.
class OsListTokens {
public:
    explicit OsListTokens(WString list) : list_(std::move(list)) {}
    WString Next();

private:
    WString list_;
    std::size_t position_ = 0;
};

// The entries that the operating-system loop tries, in list order, without
// the final empty one.
std::vector<WString> OsListEntries(const WString& list);

}  // namespace zq
