// The Windows program entry point: hands the command line (the text after
// the program's own path) to the start-up.
#include "platform/win32/Win32Common.h"

#include "startup/wWndMain.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int) {
  return RunSetup(cmdLine ? std::wstring(cmdLine) : std::wstring());
}
