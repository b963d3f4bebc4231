// Where the program's DLLs may come from.
//
// The launcher runs elevated and is started from a package folder, often a
// downloads folder that any program of the user can write to. A DLL placed
// there under a system DLL's name would run with administrator rights if
// the loader looked in that folder, or in the current folder, first. The
// entry point calls HardenDllSearch before anything can load a DLL.
#pragma once

namespace zq::win32 {

// SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32): a DLL named
// without a path is then looked for in the system folder only, never
// beside the exe or in the current folder. Vista and 7 have the function
// only with KB2533623 and XP not at all, so it is looked up at run time;
// false where the system lacks it or refuses.
bool LimitDllSearchToSystemFolder();

// SetDllDirectoryW(L""): takes the current folder out of the search on
// systems without SetDefaultDllDirectories (XP SP1 and later). Looked up
// at run time too, since XP without a service pack lacks it; false there.
bool RemoveCurrentFolderFromDllSearch();

// Both of the above, each as far as the system allows.
void HardenDllSearch();

}  // namespace zq::win32
