// win32 backend of the process and file services.
#include "platform/Process.h"

#include "platform/win32/Win32Common.h"

#include <fcntl.h>
#include <io.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstring>

#include "platform/Platform.h"
#include "platform/SharedFile.h"

namespace platform {

namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

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

// fopen's access, sharing (read and write) and text mode, through a handle
// opened without following a link.
FILE* OpenFile(const std::wstring& path, const char* mode, uint32_t* lastError) {
  const bool plus = std::strchr(mode, '+') != nullptr;
  const bool reads = mode[0] == 'r' || plus, writes = mode[0] != 'r' || plus;
  const ACCESS_MASK access = (reads ? GENERIC_READ : 0) | (writes ? GENERIC_WRITE : 0);
  const HANDLE handle = win32::OpenNoFollow(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            mode[0] == 'r' ? FILE_OPEN : FILE_OPEN_IF, mode[0] == 'w');
  if (handle == INVALID_HANDLE_VALUE) {
    *lastError = GetLastError();
    return nullptr;
  }
  int flags = std::strchr(mode, 'b') ? _O_BINARY : _O_TEXT;
  if (mode[0] == 'a') flags |= _O_APPEND;
  if (!writes) flags |= _O_RDONLY;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
  FILE* file = fd >= 0 ? _fdopen(fd, mode) : nullptr;
  if (!file && fd >= 0) _close(fd);
  if (fd < 0) CloseHandle(handle);
  *lastError = file ? 0 : ERROR_NOT_ENOUGH_MEMORY;
  return file;
}

FILE* OpenFile(const std::string& path, const char* mode, uint32_t* lastError) {
  return OpenFile(AnsiToWide(path), mode, lastError);
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
  return RenameOver(AnsiToWide(from), AnsiToWide(to));
}

bool RemoveFile(const std::wstring& path, uint32_t* lastError) {
  std::wstring name;
  const win32::ScopedHandle folder(win32::OpenParentNoFollow(path, &name));
  const win32::ScopedHandle file(folder.valid() ? win32::OpenBelow(folder.get(), name, DELETE, kShareAll, FILE_OPEN,
                                                                   FILE_NON_DIRECTORY_FILE)
                                                : INVALID_HANDLE_VALUE);
  const bool removed = file.valid() && win32::DeleteByHandle(file.get());
  if (lastError) *lastError = removed ? 0 : GetLastError();
  return removed;
}

bool RemoveFile(const std::string& path, uint32_t* lastError) { return RemoveFile(AnsiToWide(path), lastError); }

}  // namespace platform
