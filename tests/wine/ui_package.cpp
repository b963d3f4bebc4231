#include "tests/wine/ui_package.h"

#include <windows.h>

#include "tests/wine/wine_test_support.h"

namespace zq::uitest {

const std::wstring kTexts[9] = {
    L"",
    L"This package cannot be installed on this version of Windows.",
    L"The ZQ Merle printer driver has been refreshed",
    L"The new driver files are in place. Restart your computer so that your printers use them.",
    L"I will restart my computer later",
    L"Click Finish to exit",
    L"Finish",
    L"ZQ Merle Driver Refresh",
    L"No ZQ Merle printer driver is installed on this computer.\\nInstall the driver first, then run this package "
    L"again.",
};

std::wstring WritePackage(const std::wstring& folder, const PackageSettings& settings) {
    std::wstring text = L"[Version]\r\nLog=511\r\n\r\n[OS_Support]\r\nos_list=" + settings.osList +
                        L"\r\nServicePack_MajorVersion=0\r\nServicePack_MinorVersion=0\r\n\r\n"
                        L"[CPE.MagicKeywords]\r\n1=" +
                        settings.keyword + L"\r\n";
    const std::vector<std::wstring>& programs64 = settings.programs64.empty() ? settings.programs : settings.programs64;
    for (const auto& [section, programs] :
         {std::pair{L"Run", &settings.programs}, std::pair{L"Run.x64", &programs64}}) {
        text += L"\r\n[" + std::wstring(section) + L"]\r\n";
        for (std::size_t i = 0; i < programs->size(); ++i) {
            text += std::to_wstring(i + 1) + L"=" + (*programs)[i] + L"\r\n";
        }
    }
    text += L"\r\n[LangMap]\r\n0x0409=English\r\n\r\n[English]\r\n";
    for (int number = 1; number <= 8; ++number) text += std::to_wstring(number) + L"=" + kTexts[number] + L"\r\n";
    const std::wstring path = folder + L"\\autorun.inf";
    test::WriteFileBytes(path, test::Narrow(text));
    return path;
}

InstalledOemInf::InstalledOemInf(const std::wstring& name, const std::wstring& keyword) {
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring folder = std::wstring(windows) + L"\\inf";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    path_ = folder + L"\\" + name;
    const std::wstring text =
        L"\xFEFF[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n\r\n"
        L"[Strings]\r\nDriverName=\"" +
        keyword + L"\"\r\n";
    std::string bytes;
    for (wchar_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    test::WriteFileBytes(path_, bytes);
}

InstalledOemInf::~InstalledOemInf() { ::DeleteFileW(path_.c_str()); }

std::wstring ChildExits(int status) { return L"\"" + test::kTestChildPath + L"\" exit " + std::to_wstring(status); }

std::wstring LauncherCommandLine(const std::wstring& settingsPath) {
    return L"\"" + test::kExePath + L"\" -f " + settingsPath;
}

std::string NewestLog(const std::wstring& folder) {
    std::wstring newest;
    WIN32_FIND_DATAW entry{};
    HANDLE listing = ::FindFirstFileW((folder + L"\\zqmerlesetup*.log").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) return {};
    do {
        if (newest.empty() || _wcsicmp(entry.cFileName, newest.c_str()) > 0) newest = entry.cFileName;
    } while (::FindNextFileW(listing, &entry));
    ::FindClose(listing);
    return test::ReadFileBytes(folder + L"\\" + newest);
}

}  // namespace zq::uitest
