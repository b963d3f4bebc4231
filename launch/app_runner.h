// Carries out one entry of the section of programs: starts it as a process
// and waits for it without time-out.
#pragma once

#include "run/application.h"

namespace zq {

// The copy dialog's marker: looked for in the command line as written, so
// only in lower case.
inline constexpr wchar_t kProgressMarker[] = L"zqstage";

// The command line of a program entry as the started program receives it:
// only the letters A to Z are lowered.
WString LowerCaseCommandLine(const WString& commandLine);

// What the runner makes of one entry before it starts anything.
struct ProgramEntry {
    WString lowered;                // what the program, or the plug-in, receives
    bool copyDialogWanted = false;  // kProgressMarker in the text as written
    bool runsPlugin = false;        // kPluginMarker in the lowered text: in any case
};
ProgramEntry ReadProgramEntry(const WString& commandLine);

// 1 when the entry was carried out, or the system error code when its
// process could not be created.
int RunApplication(LauncherProcess& process, const WString& commandLine);

}  // namespace zq
