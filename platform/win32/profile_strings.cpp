#include "platform/win32/win32_platform.h"

#include <algorithm>

namespace zq::win32 {

WString Win32ProfileStrings::GetString(const WString& section, const WString& key, const WString& defaultValue,
                                       std::size_t bufferChars, const WString& path) {
    // One spare character so that even a zero-sized request hands the
    // system a real buffer.
    std::vector<wchar_t> buffer(std::max<std::size_t>(bufferChars, 1));
    DWORD length = ::GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                                              static_cast<DWORD>(bufferChars), path.c_str());
    return WString(buffer.data(), std::min<std::size_t>(length, bufferChars));
}

}  // namespace zq::win32
