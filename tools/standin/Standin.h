// The two things the installer stand-in does differently per system;
// win32/ and posix/ implement them.
#pragma once

#include <string>

namespace standin {

// The command line as the program received it: GetCommandLineW() on Windows
// (the package runs with the switches alone, without its own path); on posix
// the arguments after the program's path joined with blanks, an argument
// with blanks quoted again (Setup splits the line the way it is read here).
std::wstring RawCommandLine(int argc, char** argv);

// Shows that the demo product runs. Windows: a small window with `text`,
// until it is closed or, when `seconds` >= 0, that many seconds have passed.
// posix: prints `text` and waits `seconds` (none when negative).
void ShowProductRunning(const std::wstring& text, int seconds);

}  // namespace standin
