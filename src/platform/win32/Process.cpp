// win32 backend of the process and file services.
#include "platform/Process.h"

#include <windows.h>
#include <io.h>
#include <psapi.h>
#include <tlhelp32.h>

#include "platform/Platform.h"

namespace platform {

int ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return static_cast<int>(info.dwNumberOfProcessors);
}

uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

bool ListProcesses(std::vector<ProcessEntry>* processes) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  bool ok = Process32FirstW(snapshot, &entry) != FALSE;
  processes->clear();
  for (bool more = ok; more; more = Process32NextW(snapshot, &entry) != FALSE)
    processes->push_back({entry.th32ProcessID, entry.szExeFile});
  CloseHandle(snapshot);
  return ok;
}

std::wstring ProcessImagePath(uint32_t pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return std::wstring();
  wchar_t path[MAX_PATH] = L"";
  DWORD length = GetModuleFileNameExW(process, NULL, path, MAX_PATH);
  CloseHandle(process);
  return std::wstring(path, length);
}

bool KillProcess(uint32_t pid, uint32_t* lastError) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  bool killed = process && TerminateProcess(process, 0);
  *lastError = killed ? 0 : GetLastError();
  // Termination is asynchronous: the image stays locked until the process is gone.
  if (killed) WaitForSingleObject(process, 2000);
  if (process) CloseHandle(process);
  return killed;
}

// CreateProcessW may write into the command line: it gets a copy.
uint32_t StartProgram(const std::wstring& commandLine, const std::wstring& folder) {
  std::wstring writable = commandLine;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &writable[0], nullptr, nullptr, TRUE, CREATE_DEFAULT_ERROR_MODE, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process))
    return GetLastError();
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

FILE* OpenFile(const std::string& path, const char* mode, uint32_t* lastError) {
  SetLastError(0);
  FILE* file = std::fopen(path.c_str(), mode);
  *lastError = file ? 0 : GetLastError();
  return file;
}

size_t WriteFileAt(FILE* file, int64_t offset, const void* data, size_t size, uint32_t* lastError) {
  SetLastError(0);
  const size_t written = _fseeki64(file, offset, SEEK_SET) == 0 ? std::fwrite(data, 1, size, file) : 0;
  if (written < size && lastError) {
    const DWORD error = GetLastError();
    *lastError = error == ERROR_HANDLE_DISK_FULL || error == 0 ? kErrorDiskFull : error;
  }
  return written;
}

bool SyncFile(FILE* file) { return std::fflush(file) == 0 && _commit(_fileno(file)) == 0; }

// SetEndOfFile rather than _chsize_s, which extends a file by writing zeros.
bool SetFileLength(FILE* file, int64_t length, uint32_t* lastError) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  LARGE_INTEGER end;
  end.QuadPart = length;
  const bool set = handle != INVALID_HANDLE_VALUE && SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) &&
                   SetEndOfFile(handle);
  const DWORD error = set ? 0 : GetLastError();
  *lastError = error == ERROR_HANDLE_DISK_FULL ? kErrorDiskFull : error;
  return set;
}

int64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool RemoveFile(const std::string& path, uint32_t* lastError) {
  const bool removed = DeleteFileA(path.c_str()) != FALSE;
  if (lastError) *lastError = removed ? 0 : GetLastError();
  return removed;
}

}  // namespace platform
