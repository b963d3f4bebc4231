// The DLL search as the program narrows it first thing (dll_search.h).
//
// zqplanted.dll lies beside this test program, as a planted DLL would lie
// beside the exe in a downloads folder; each test copies it into a fresh
// current folder under a second name. Every test first shows that the DLL
// loads by its bare name, then narrows the search, then that it no longer
// does. The narrowing lasts for the rest of the process: ctest runs each
// test in a process of its own.
#include <gtest/gtest.h>

#include "platform/win32/dll_search.h"
#include "tests/wine/support/wine_test_support.h"

namespace zq::win32 {
namespace {

const wchar_t kBesideTheProgram[] = L"zqplanted.dll";
const wchar_t kInTheCurrentFolder[] = L"zqplanted_cwd.dll";

// Whether LoadLibraryW finds the DLL by its bare name; it is unloaded
// again, so that the next load searches anew.
bool LoadsByName(const wchar_t* name) {
    ScopedModule module(::LoadLibraryW(name));
    return static_cast<bool>(module);
}

class DllSearch : public ::testing::Test {
protected:
    void SetUp() override {
        const WString folder = test::FreshTestFolder(L"dll-search-" + std::to_wstring(::GetCurrentProcessId()));
        ASSERT_TRUE(::CopyFileW(test::kPlantedDllPath.c_str(), (folder + L"\\" + kInTheCurrentFolder).c_str(), FALSE));
        ASSERT_TRUE(::SetCurrentDirectoryW(folder.c_str()));
        ASSERT_TRUE(LoadsByName(kBesideTheProgram)) << "the search was narrowed before the test";
        ASSERT_TRUE(LoadsByName(kInTheCurrentFolder)) << "the search was narrowed before the test";
    }
};

TEST_F(DllSearch, SystemFolderOnlyIgnoresTheProgramAndCurrentFolders) {
    ASSERT_TRUE(LimitDllSearchToSystemFolder());
    EXPECT_FALSE(LoadsByName(kBesideTheProgram));
    EXPECT_FALSE(LoadsByName(kInTheCurrentFolder));
    EXPECT_TRUE(LoadsByName(L"version.dll"));
}

// On Windows an empty SetDllDirectoryW takes the current folder out of the
// search. Wine (8.0) accepts the call but keeps searching the current
// folder, so only the lookup and the call are shown here; the current
// folder's exclusion is shown through SetDefaultDllDirectories above and
// below.
TEST_F(DllSearch, RemovingTheCurrentFolderLeavesTheProgramFolder) {
    ASSERT_TRUE(RemoveCurrentFolderFromDllSearch());
    EXPECT_TRUE(LoadsByName(kBesideTheProgram));
}

TEST_F(DllSearch, HardenedSearchLoadsSystemDllsOnly) {
    HardenDllSearch();
    EXPECT_FALSE(LoadsByName(kBesideTheProgram));
    EXPECT_FALSE(LoadsByName(kInTheCurrentFolder));
    EXPECT_TRUE(LoadsByName(L"version.dll"));
    EXPECT_TRUE(LoadsByName(L"winspool.drv"));
}

}  // namespace
}  // namespace zq::win32
