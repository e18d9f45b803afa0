// What the reporting SDK needs from its host process: the command line, an
// immediate end and a hidden restart of the program.
#pragma once

#include <string>

namespace platform {
namespace host {

// The whole command line of the process, program path included
// (GetCommandLineW; posix: /proc/self/cmdline joined with blanks).
std::wstring CommandLine();
// Ends the process at once with the exit code (ExitProcess; posix: _exit
// after flushing the C streams). Exit handlers do not run.
[[noreturn]] void EndProcess(int exitCode);
// Starts the program hidden and detached with the arguments (ShellExecuteW
// "open", SW_HIDE); false when it cannot be started.
bool StartHidden(const std::wstring& program, const std::wstring& arguments);

}  // namespace host
}  // namespace platform
