// The installer's start-up: resource archive, start-up configuration, HTTP
// library, log, command-line modes, single-instance guard, then the
// interactive run and its ordered shutdown. Both program entry points
// (wWinMain on Windows, main elsewhere) hand their command line to RunSetup.
#pragma once

#include <string>

// `commandLine` is the text after the program's own path. Returns 0 on every
// path, as the program's exit code.
int RunSetup(const std::wstring& commandLine);

// "OV_UI_Frame_" + the downloader id text, set by start-up before the main
// window registers its class under it; empty without a downloader id.
std::wstring MainWindowClassName();

// Names a file whose appearance closes the main window where nobody is at
// the screen (the headless backend), so that tests can keep a first copy
// running while they start a second one. Unset outside tests.
extern const wchar_t kTestHoldFileVariable[];
