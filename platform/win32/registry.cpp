#include "platform/win32/win32_platform.h"

namespace zq::win32 {

namespace {

class Win32RegistryKey final : public IRegistryKey {
public:
    explicit Win32RegistryKey(HKEY key) : key_(key) {}

    std::optional<RegistryValue> QueryValue(const WString& name, std::size_t bufferBytes) override {
        // One byte more than offered, so that the system always gets a real
        // buffer: with none it would report the size and succeed.
        std::vector<std::uint8_t> data(bufferBytes + 1);
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(bufferBytes);
        if (::RegQueryValueExW(key_.Get(), name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
            return std::nullopt;  // missing, or larger than the buffer (ERROR_MORE_DATA)
        }
        data.resize(size);
        return RegistryValue{type, std::move(data)};
    }

    RegistryRead ReadWholeValue(const WString& name) override {
        // Sized first, then read; a value that grows between the two calls
        // (ERROR_MORE_DATA) is sized again.
        for (;;) {
            DWORD type = 0;
            DWORD size = 0;
            LSTATUS status = ::RegQueryValueExW(key_.Get(), name.c_str(), nullptr, &type, nullptr, &size);
            if (status != ERROR_SUCCESS) return RegistryRead{static_cast<ErrorCode>(status), {}};
            std::vector<std::uint8_t> data(size + 1);  // never an empty buffer, which would only size again
            size = static_cast<DWORD>(data.size());
            status = ::RegQueryValueExW(key_.Get(), name.c_str(), nullptr, &type, data.data(), &size);
            if (status == ERROR_MORE_DATA) continue;
            if (status != ERROR_SUCCESS) return RegistryRead{static_cast<ErrorCode>(status), {}};
            data.resize(size);
            return RegistryRead{0, RegistryValue{type, std::move(data)}};
        }
    }

    ErrorCode SetString(const WString& name, const WString& text) override {
        // The stored size counts the terminating NUL.
        return SetValue(name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    }

    ErrorCode SetDword(const WString& name, std::uint32_t value) override {
        const DWORD data = value;
        return SetValue(name, REG_DWORD, &data, sizeof data);
    }

private:
    ErrorCode SetValue(const WString& name, DWORD type, const void* data, std::size_t bytes) {
        return static_cast<ErrorCode>(::RegSetValueExW(key_.Get(), name.c_str(), 0, type,
                                                       static_cast<const BYTE*>(data), static_cast<DWORD>(bytes)));
    }

    ScopedRegistryKey key_;
};

}  // namespace

std::unique_ptr<IRegistryKey> Win32Registry::OpenLocalMachineKey(const WString& subKey, RegistryAccess access,
                                                                 RegistryView view) {
    REGSAM rights = access == RegistryAccess::Read ? KEY_READ : KEY_WRITE;
    // The 32-bit launcher on 64-bit Windows otherwise sees the WOW64 view of
    // SOFTWARE; some of the data it needs lives in the native view.
    if (view == RegistryView::Force64) rights |= KEY_WOW64_64KEY;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, rights, &key) != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Win32RegistryKey>(key);
}

}  // namespace zq::win32
