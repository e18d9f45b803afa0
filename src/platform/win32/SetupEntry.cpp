// The Windows program entry point: hands the command line (the text after
// the program's own path) to the start-up.
#include "platform/win32/Win32Common.h"

#include "startup/wWndMain.h"

namespace {

// Setup.exe runs elevated from the Downloads folder, where anyone may drop a
// DLL. It imports only KnownDLLs statically; every other system DLL is
// delay-loaded, so limiting the search to System32 before any of them loads
// keeps a planted copy from being picked up. Looked up at run time: Windows 7
// has the function only with update KB2533623.
void SearchSystemDllsOnly() {
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  const auto set = reinterpret_cast<SetDirectories>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (!set || !set(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");  // at least not the current folder
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int) {
  SearchSystemDllsOnly();
  return RunSetup(cmdLine ? std::wstring(cmdLine) : std::wstring());
}
