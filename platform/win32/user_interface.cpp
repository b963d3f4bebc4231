#include "platform/win32/win32_platform.h"

namespace zq::win32 {

int Win32UserInterface::ShowMessageBox(const WString& caption, const WString& text) {
    return ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

}  // namespace zq::win32
