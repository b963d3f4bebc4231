// Owners for the Win32 resources the platform layer opens: each one is
// released exactly once, by its destructor, on every path out of a call.
//
//   ScopedHandle        kernel objects that answer NULL on failure
//                       (processes, threads, mutexes)       CloseHandle
//   ScopedFileHandle    objects that answer INVALID_HANDLE_VALUE
//                       (CreateFileW, process snapshots)    CloseHandle
//   ScopedFindHandle    FindFirstFileW listings             FindClose
//   ScopedLocalMemory   buffers that the system allocates
//                       (FormatMessageW)                    LocalFree
//   ScopedRegistryKey   RegOpenKeyExW                       RegCloseKey
//   ScopedServiceHandle OpenSCManagerW, OpenServiceW        CloseServiceHandle
//   ScopedModule        LoadLibraryW                        FreeLibrary
//   ScopedBrush, ScopedFont, ScopedBitmap
//                       GDI objects the program makes       DeleteObject
//   ScopedMemoryDc      CreateCompatibleDC                  DeleteDC
//   SelectedObject      an object selected into a surface: the previous
//                       one is selected back                SelectObject
//
// Printer handles are closed through ClosePrinter, which winspool.drv
// provides only at run time; their owner lives beside the spooler.
#pragma once

#include <windows.h>

#include <utility>

namespace zq::win32 {

template <class Traits>
class Scoped {
public:
    using Value = typename Traits::Value;

    Scoped() = default;
    explicit Scoped(Value value) : value_(value) {}
    ~Scoped() { Reset(); }

    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    Scoped(Scoped&& other) noexcept : value_(other.Release()) {}
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Value Get() const { return value_; }
    bool IsValid() const { return value_ != Traits::Invalid(); }
    explicit operator bool() const { return IsValid(); }

    Value Release() { return std::exchange(value_, Traits::Invalid()); }
    void Reset(Value value = Traits::Invalid()) {
        if (IsValid()) Traits::Close(value_);
        value_ = value;
    }

private:
    Value value_ = Traits::Invalid();
};

struct KernelHandleTraits {
    using Value = HANDLE;
    static Value Invalid() { return nullptr; }
    static void Close(Value value) { ::CloseHandle(value); }
};

struct FileHandleTraits {
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Value value) { ::CloseHandle(value); }
};

struct FindHandleTraits {
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Value value) { ::FindClose(value); }
};

struct LocalMemoryTraits {
    using Value = HLOCAL;
    static Value Invalid() { return nullptr; }
    static void Close(Value value) { ::LocalFree(value); }
};

struct RegistryKeyTraits {
    using Value = HKEY;
    static Value Invalid() { return nullptr; }
    static void Close(Value value) { ::RegCloseKey(value); }
};

struct ServiceHandleTraits {
    using Value = SC_HANDLE;
    static Value Invalid() { return nullptr; }
    static void Close(Value value) { ::CloseServiceHandle(value); }
};

struct ModuleTraits {
    using Value = HMODULE;
    static Value Invalid() { return nullptr; }
    static void Close(Value value) { ::FreeLibrary(value); }
};

template <class Object>
struct GdiObjectTraits {
    using Value = Object;
    static Value Invalid() { return nullptr; }
    static void Close(Value value) { ::DeleteObject(value); }
};

struct MemoryDcTraits {
    using Value = HDC;
    static Value Invalid() { return nullptr; }
    static void Close(Value value) { ::DeleteDC(value); }
};

using ScopedHandle = Scoped<KernelHandleTraits>;
using ScopedFileHandle = Scoped<FileHandleTraits>;
using ScopedFindHandle = Scoped<FindHandleTraits>;
using ScopedLocalMemory = Scoped<LocalMemoryTraits>;
using ScopedRegistryKey = Scoped<RegistryKeyTraits>;
using ScopedServiceHandle = Scoped<ServiceHandleTraits>;
using ScopedModule = Scoped<ModuleTraits>;
using ScopedBrush = Scoped<GdiObjectTraits<HBRUSH>>;
using ScopedFont = Scoped<GdiObjectTraits<HFONT>>;
using ScopedBitmap = Scoped<GdiObjectTraits<HBITMAP>>;
using ScopedMemoryDc = Scoped<MemoryDcTraits>;

// An object may be deleted only while no surface has it selected: the
// surface's previous object goes back in before the owner above lets go.
class SelectedObject {
public:
    SelectedObject(HDC surface, HGDIOBJ object) : surface_(surface), previous_(::SelectObject(surface, object)) {}
    ~SelectedObject() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) ::SelectObject(surface_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC surface_;
    HGDIOBJ previous_;
};

// GetProcAddress typed as the function it names; null when the module does
// not export it. FARPROC is a generic function pointer: going through
// void (*)() makes the conversion explicit and keeps -Wcast-function-type
// quiet without hiding a cast from data to code.
template <class Function>
Function ProcAddress(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace zq::win32
