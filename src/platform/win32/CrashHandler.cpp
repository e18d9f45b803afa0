// win32 backend of the crash handling. The unhandled-exception filter runs
// on the faulting thread, which may hold the loader lock or a heap lock, so
// it neither loads, allocates nor writes: it hands the fault to a thread
// made at installation and waits for it while that thread works, then ends
// the process. That thread writes the minidump with dbghelp's
// MiniDumpWriteDump (dbghelp loaded by its System32 path at installation,
// never imported, so no copy beside the program is ever loaded) and starts
// the hidden "<program> -dmp <dump name>" from the held program file. Should
// it hang on a lock the crashed process holds, the process still ends, and
// with it the single-instance mutex.
//
// An exception nobody catches (or any other call of std::terminate) is a
// fault too: it is raised as the exception kUncaughtExceptionCode, which
// the filter handles like an access violation.
#include "platform/CrashHandler.h"

#include "platform/win32/Win32Common.h"

#include <dbghelp.h>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

#include "platform/HeldProgram.h"

namespace platform {
namespace {

using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                                PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION,
                                                PMINIDUMP_CALLBACK_INFORMATION);

// The faulting thread waits for the dump and the copy as long as the thread
// that makes them works (its processor time grows), up to a limit: one
// that has done nothing for kStuckMs waits for a lock the crash left held.
constexpr DWORD kCheckMs = 250;
constexpr DWORD kStuckMs = 5000;
constexpr DWORD kHandlingLimitMs = 120000;

// Everything the handling needs, prepared at installation.
struct CrashTarget {
  MiniDumpWriteDumpFunction writeDump = nullptr;
  HANDLE folder = INVALID_HANDLE_VALUE;  // the dump's, held, reached without following a link
  std::wstring dumpName;
  std::wstring program;      // the held program file; empty: no copy is started
  std::wstring commandLine;  // the copy's, writable for CreateProcessW
  HANDLE faulted = nullptr;  // set by the filter
  HANDLE handled = nullptr;  // set by the writer thread
  HANDLE writer = nullptr;
  DWORD writerThread = 0;
  EXCEPTION_POINTERS* exception = nullptr;
  DWORD faultingThread = 0;
};
CrashTarget* g_target = nullptr;
LONG g_entered = 0;

void WriteDump() {
  if (!g_target->writeDump) return;
  win32::ScopedHandle file(win32::OpenBelow(g_target->folder, g_target->dumpName, GENERIC_WRITE, 0, FILE_CREATE,
                                            FILE_NON_DIRECTORY_FILE));
  if (!file.valid()) return;
  MINIDUMP_EXCEPTION_INFORMATION info{g_target->faultingThread, g_target->exception, FALSE};
  g_target->writeDump(GetCurrentProcess(), GetCurrentProcessId(), file.get(), MiniDumpNormal, &info, nullptr,
                      nullptr);
}

void StartUploadCopy() {
  if (g_target->program.empty()) return;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  if (CreateProcessW(g_target->program.c_str(), &g_target->commandLine[0], nullptr, nullptr, FALSE,
                     CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

DWORD WINAPI HandleCrash(void* target) {
  WaitForSingleObject(static_cast<CrashTarget*>(target)->faulted, INFINITE);
  WriteDump();
  StartUploadCopy();
  SetEvent(g_target->handled);
  return 0;
}

uint64_t ProcessorTime(HANDLE thread) {
  FILETIME created, ended, kernel, user;
  if (!GetThreadTimes(thread, &created, &ended, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return ticks(kernel) + ticks(user);
}

void WaitForHandling() {
  uint64_t last = ProcessorTime(g_target->writer);
  DWORD idle = 0;
  for (DWORD waited = 0; waited < kHandlingLimitMs && idle < kStuckMs; waited += kCheckMs) {
    if (WaitForSingleObject(g_target->handled, kCheckMs) == WAIT_OBJECT_0) return;
    const uint64_t now = ProcessorTime(g_target->writer);
    idle = now == last ? idle + kCheckMs : 0;
    last = now;
  }
}

// Only the first fault is handled; a fault of another thread meanwhile
// waits for its end. A fault of the writer thread itself ends at once.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
  if (GetCurrentThreadId() != g_target->writerThread) {
    if (InterlockedExchange(&g_entered, 1) == 0) {
      g_target->exception = exception;
      g_target->faultingThread = GetCurrentThreadId();
      SetEvent(g_target->faulted);
    }
    WaitForHandling();
  }
  TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

MiniDumpWriteDumpFunction LoadMiniDumpWriter() {
  const std::wstring path = win32::SystemFolderFile(L"dbghelp.dll");
  HMODULE dbghelp = path.empty() ? nullptr : LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!dbghelp) return nullptr;
  const FARPROC address = GetProcAddress(dbghelp, "MiniDumpWriteDump");
  return reinterpret_cast<MiniDumpWriteDumpFunction>(reinterpret_cast<void*>(address));
}

}  // namespace

void InstallCrashHandler(const std::wstring& pathStem) {
  if (g_target) return;
  static CrashTarget target;
  target.writeDump = LoadMiniDumpWriter();
  target.folder = win32::OpenParentNoFollow(pathStem + L".dmp", &target.dumpName);
  if (HeldProgram* own = OwnProgram()) {
    target.program = own->LaunchPath();
    target.commandLine = L"\"" + target.program + L"\" -dmp " + target.dumpName;
  }
  target.faulted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  target.handled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  target.writer = target.faulted && target.handled
                      ? CreateThread(nullptr, 0, &HandleCrash, &target, 0, &target.writerThread)
                      : nullptr;
  if (!target.writer) return;
  g_target = &target;
  SetUnhandledExceptionFilter(&OnUnhandledException);
}

}  // namespace platform

// std::terminate's handler when none is set, in place of libstdc++'s: that
// one prints the exception's demangled type to the standard error, which a
// GUI program does not have, and calls abort(), which no crash handling
// sees; it also links the whole C++ demangler (some 46 KB of Setup.exe).
// With this definition the library's is never linked. Before the crash
// handler is installed, the system's own handling of an unhandled
// exception ends the process; abort() is there should anything return.
void __gnu_cxx::__verbose_terminate_handler() {
  RaiseException(platform::kUncaughtExceptionCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  std::abort();
}
