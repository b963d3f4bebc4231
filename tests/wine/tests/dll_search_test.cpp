// The DLL search as the program narrows it first thing (dll_search.h).
//
// zqplanted.dll lies beside this test program, as a planted DLL would lie
// beside the exe in a downloads folder; the test copies it into a fresh
// current folder under a second name. The test first shows that the DLL
// loads by its bare name, then narrows the search, then that it no longer
// does. (Wine (8.0) keeps searching the current folder after an empty
// SetDllDirectoryW, so the exclusion shows through SetDefaultDllDirectories.)
#include <gtest/gtest.h>

#include "platform/win32/dll_search.h"
#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

const wchar_t kBesideTheProgram[] = L"zqplanted.dll";
const wchar_t kInTheCurrentFolder[] = L"zqplanted_cwd.dll";

// Whether LoadLibraryW finds the DLL by its bare name; it is unloaded
// again, so that the next load searches anew.
bool LoadsByName(const wchar_t* name) { return ScopedModule(::LoadLibraryW(name)).IsValid(); }

// The program's folder and the current folder drop out of the search; the
// system folder's DLLs still load.
TEST(DllSearch, HardenedSearchLoadsSystemDllsOnly) {
    const WString folder = test::FreshTestFolder(L"dll-search");
    ASSERT_TRUE(::CopyFileW(test::kPlantedDllPath.c_str(), (folder + L"\\" + kInTheCurrentFolder).c_str(), FALSE));
    ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));
    ASSERT_TRUE(LoadsByName(kBesideTheProgram) && LoadsByName(kInTheCurrentFolder)) << "narrowed before the test";
    HardenDllSearch();
    EXPECT_FALSE(LoadsByName(kBesideTheProgram));
    EXPECT_FALSE(LoadsByName(kInTheCurrentFolder));
    EXPECT_TRUE(LoadsByName(L"version.dll"));
    EXPECT_TRUE(LoadsByName(L"winspool.drv"));
}

}  // namespace
}  // namespace zq::win32
