// The crash handling of the installer: when the process dies of a fault, a
// crash file is written beside the log and a hidden copy of the program is
// started with "-dmp " and the file's name, so that it reaches the log
// collection service. Implemented by the posix/ and win32/ backends.
#pragma once

#include <string>

namespace platform {

// Installs the handler for the rest of the process. The crash file is
// `pathStem` (a path without extension) + ".dmp", a minidump written with
// dbghelp's MiniDumpWriteDump, on Windows; elsewhere `pathStem` +
// ".crash.txt", a text report (signal, fault address, backtrace). Everything
// the handler needs is prepared here (libraries, paths, the command line, a
// thread to write the dump on Windows), so that a fault that leaves a lock
// held cannot hang it: the crashed process always ends. The copy is started
// from the held program file (HoldOwnProgram, which must come first); when
// the file is not held, only the crash file is written.
// The file's folder is reached and held here without following a link, and
// the file is created new in it: a link or file already in its place is not
// written.
void InstallCrashHandler(const std::wstring& pathStem);

// The exception code with which a Windows process ends when std::terminate
// is called (an exception nobody catches): "CXX" in a code of the
// application's own range.
constexpr unsigned long kUncaughtExceptionCode = 0xE0435858;

}  // namespace platform
