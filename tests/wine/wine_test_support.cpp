#include "tests/wine/wine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_platform.h"

namespace zq::test {

namespace {

void RemoveTree(const WString& folder) {
    WIN32_FIND_DATAW entry{};
    win32::ScopedFindHandle listing(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (listing) {
        do {
            const WString name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const WString path = folder + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(listing.Get(), &entry));
    }
    ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

WString FreshTestFolder(const WString& name) {
    const WString root = L"C:\\zqtest";
    const WString folder = root + L"\\" + name;
    ::CreateDirectoryW(root.c_str(), nullptr);
    RemoveTree(folder);
    EXPECT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr)) << "cannot create " << Narrow(folder);
    return folder;
}

// A folder path of `length` characters below `parent`, made of names of at
// most 100 characters, created with every folder above it (in the
// extended-length form, so that it may be longer than MAX_PATH).
WString MakeLongFolder(const WString& parent, std::size_t length) {
    WString folder = parent;
    ::CreateDirectoryW(win32::ExtendedLengthPath(folder).c_str(), nullptr);
    while (folder.size() + 1 < length) {
        // Each name adds a backslash and its characters; the last one takes
        // what is left, so no single character is left over.
        const std::size_t left = length - folder.size() - 1;
        folder += L"\\" + WString(left <= 100 ? left : std::min<std::size_t>(100, left - 2), L'd');
        EXPECT_TRUE(::CreateDirectoryW(win32::ExtendedLengthPath(folder).c_str(), nullptr))
            << folder.size() << " error " << ::GetLastError();
    }
    EXPECT_EQ(folder.size(), length);
    return folder;
}

std::string ReadFileBytes(const WString& path) {
    win32::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        ADD_FAILURE() << "cannot open " << Narrow(path) << ", error " << ::GetLastError();
        return {};
    }
    std::string bytes(::GetFileSize(file.Get(), nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        ADD_FAILURE() << "cannot read " << Narrow(path);
    }
    bytes.resize(read);
    return bytes;
}

void WriteFileBytes(const WString& path, const std::string& bytes) {
    win32::ScopedFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file) << "cannot create " << Narrow(path);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
}

std::vector<std::string> SplitCrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string Narrow(const WString& text) {
    std::string narrow;
    for (wchar_t c : text) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return narrow;
}

bool IsSixtyFourBitWindows() {
    SYSTEM_INFO native{};
    ::GetNativeSystemInfo(&native);
    return native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

REGSAM OwnRegistryView() { return sizeof(void*) == 4 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY; }
REGSAM OtherRegistryView() { return sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

void WriteLocalMachineString(const WString& subKey, const WString& name, const WString& value, REGSAM view) {
    HKEY key = nullptr;
    const LONG status =
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        ADD_FAILURE() << "RegCreateKeyExW(" << Narrow(subKey) << ") failed, error " << status;
        return;
    }
    win32::ScopedRegistryKey owner(key);
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes),
              ERROR_SUCCESS)
        << Narrow(subKey) << "\\" << Narrow(name);
}

void DeleteLocalMachineKeyInBothViews(const WString& subKey) {
    using DeleteKeyExFn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
    // RegDeleteKeyExW came after 32-bit XP, which has one view anyway.
    auto deleteKeyEx = reinterpret_cast<DeleteKeyExFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"advapi32"), "RegDeleteKeyExW")));
    if (deleteKeyEx == nullptr) {
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, subKey.c_str());
        return;
    }
    deleteKeyEx(HKEY_LOCAL_MACHINE, subKey.c_str(), KEY_WOW64_32KEY, 0);
    deleteKeyEx(HKEY_LOCAL_MACHINE, subKey.c_str(), KEY_WOW64_64KEY, 0);
}

DWORD RunAndWait(const WString& commandLine) {
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        ADD_FAILURE() << "cannot start " << Narrow(commandLine) << ", error " << ::GetLastError();
        return ~0u;
    }
    win32::ScopedHandle process(info.hProcess);
    win32::ScopedHandle thread(info.hThread);
    ::WaitForSingleObject(process.Get(), INFINITE);
    DWORD exitCode = ~0u;
    ::GetExitCodeProcess(process.Get(), &exitCode);
    return exitCode;
}

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const WString& name, const WString& value) : name_(name) {
    DWORD needed = ::GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (needed > 0) {
        std::vector<wchar_t> buffer(needed);
        DWORD length = ::GetEnvironmentVariableW(name.c_str(), buffer.data(), needed);
        oldValue_.assign(buffer.data(), length);
        hadValue_ = true;
    }
    ::SetEnvironmentVariableW(name.c_str(), value.c_str());
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
    ::SetEnvironmentVariableW(name_.c_str(), hadValue_ ? oldValue_.c_str() : nullptr);
}

ScopedRuntimeVariable::ScopedRuntimeVariable(const WString& name, const WString& value) : name_(name) {
    if (const wchar_t* old = ::_wgetenv(name.c_str())) oldValue_ = old;
    ::_wputenv((name + L"=" + value).c_str());
}

ScopedRuntimeVariable::~ScopedRuntimeVariable() { ::_wputenv((name_ + L"=" + oldValue_).c_str()); }

}  // namespace zq::test
