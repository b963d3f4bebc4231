#include "app/entry.h"

#include "app/application.h"
#include "app/init_instance.h"

namespace zq {

LauncherProcess::LauncherProcess(Platform& machine)
    : platform(machine),
      theApp(machine, g_logFile),
      g_iniFile(machine, g_logFile),
      g_logFile(machine),
      fnIsWow64Process(machine.version.LookupIsWow64Process()) {}

int RunProgram(Platform& platform) {
    LauncherProcess process(platform);
    InitInstance(process);
    // Callers must not read success or failure from the exit status.
    return 0;
}

}  // namespace zq
