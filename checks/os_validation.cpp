#include "checks/os_validation.h"

namespace zq {

unsigned OsNumberOfEntry(const WString& entry) {
    return static_cast<unsigned>(WToI(WStringView(entry).substr(0, kOsNumberChars)));
}

int PlatformCodeOfEntry(const WString& entry) {
    const WStringView suffix = kEntry64Suffix;
    return entry.size() >= suffix.size() && WStringView(entry).substr(entry.size() - suffix.size()) == suffix
               ? kPlatform64
               : kPlatform32;
}

VersionRequest VersionRequestFor(unsigned osNumber, int platformCode, int spMajor, int spMinor) {
    // A 64-bit entry for version 5.1 means XP x64, which is version 5.2.
    if (osNumber == 501 && platformCode == kPlatform64) osNumber = 502;
    VersionRequest request;
    request.major = osNumber / 100;
    request.minor = osNumber % 100;
    request.servicePackMajor = static_cast<std::uint16_t>(spMajor);
    request.servicePackMinor = static_cast<std::uint16_t>(spMinor);
    return request;
}

bool ValidateOS(LauncherProcess& process, unsigned osNumber, int spMajor, int spMinor) {
    CLogFile& log = process.g_logFile;
    const int platformCode = process.OsPlatformCode;
    log.LogMessage(LOG_LOW, L"--> Enter ValidateOS( %ld, %ld, %ld, %ld)", osNumber, platformCode, spMajor, spMinor);

    if (!process.platform.version.VerifyVersion(VersionRequestFor(osNumber, platformCode, spMajor, spMinor))) {
        log.LogMessage(LOG_LOW, L"<-- Exit VerifyVersionInfo() Return with FALSE");
        return false;
    }
    log.LogMessage(LOG_LOW, L"<-- VerifyVersionInfo() Return with SUCEESS");

    // The launcher is a 32-bit process: a 64-bit Windows runs it under WOW64.
    bool wow64 = false;
    if (process.fnIsWow64Process) {
        std::optional<bool> answer = process.fnIsWow64Process();
        if (answer) wow64 = *answer;
        else log.LogMessage(LOG_LOW, L" fnIsWow64Process Failed ");
    }
    if (platformCode == kPlatform64 && wow64) {
        log.LogMessage(LOG_LOW, L"<-- Exit ValidateOS()=[Valid, 64 Bit OS] Return with TRUE");
        return true;
    }
    if (platformCode == kPlatform32 && !wow64) {
        log.LogMessage(LOG_LOW, L"<-- Exit ValidateOS()=[Valid, 32 Bit OS] Return with TRUE");
        return true;
    }
    log.LogMessage(LOG_LOW, L"<-- Exit ValidateOS()  Return with FALSE. ");
    return false;
}

}  // namespace zq
