// win32 backend of the crash handling: an unhandled-exception filter writes
// a minidump with dbghelp's MiniDumpWriteDump and starts a hidden
// "<program> -dmp <dump name>". dbghelp is loaded by full path from
// System32 when the fault happens, so that the program imports it nowhere
// and no copy of it beside the program is ever loaded.
#include "platform/CrashHandler.h"

#include "platform/win32/Win32Common.h"

#include <dbghelp.h>

#include <string>

#include "platform/Platform.h"

namespace platform {
namespace {

using MiniDumpWriteDumpFunction = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                                PMINIDUMP_EXCEPTION_INFORMATION,
                                                PMINIDUMP_USER_STREAM_INFORMATION,
                                                PMINIDUMP_CALLBACK_INFORMATION);

// Prepared at installation: dbghelp's path, the dump's folder (held open,
// so that the dump is created in the folder reached then, without following
// a link) and name, and the command line of the uploading copy.
struct CrashTarget {
  std::wstring dbghelpPath, dumpName, commandLine;
  HANDLE folder = INVALID_HANDLE_VALUE;
};
CrashTarget* g_target = nullptr;

std::wstring System32Path(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(folder, length) + L"\\" + name;
}

void WriteDump(EXCEPTION_POINTERS* exception) {
  HMODULE dbghelp = LoadLibraryExW(g_target->dbghelpPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!dbghelp) return;
  const FARPROC address = GetProcAddress(dbghelp, "MiniDumpWriteDump");
  const auto writeDump = reinterpret_cast<MiniDumpWriteDumpFunction>(reinterpret_cast<void*>(address));
  win32::ScopedHandle file(win32::OpenBelow(g_target->folder, g_target->dumpName, GENERIC_WRITE, 0, FILE_CREATE,
                                            FILE_NON_DIRECTORY_FILE));
  if (writeDump && file.valid()) {
    MINIDUMP_EXCEPTION_INFORMATION info{GetCurrentThreadId(), exception, FALSE};
    writeDump(GetCurrentProcess(), GetCurrentProcessId(), file.get(), MiniDumpNormal, &info, nullptr, nullptr);
  }
}

void StartUploadCopy() {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = g_target->commandLine;  // CreateProcessW may write into it
  if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr,
                     nullptr, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* exception) {
  WriteDump(exception);
  StartUploadCopy();
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void InstallCrashHandler(const std::wstring& pathStem) {
  static CrashTarget target;
  target.dbghelpPath = System32Path(L"dbghelp.dll");
  target.folder = win32::OpenParentNoFollow(pathStem + L".dmp", &target.dumpName);
  target.commandLine = L"\"" + System().ModulePath() + L"\" -dmp " + target.dumpName;
  g_target = &target;
  SetUnhandledExceptionFilter(&OnUnhandledException);
}

}  // namespace platform
