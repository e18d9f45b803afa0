// Processes, the named mutex of the download engine and the 64-bit file
// operations it needs. Implemented by the posix/ and win32/ backends.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class PinnedFile;

constexpr uint32_t kErrorAccessDenied = 5;       // ERROR_ACCESS_DENIED
constexpr uint32_t kErrorSharingViolation = 32;  // ERROR_SHARING_VIOLATION
constexpr uint32_t kErrorFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
constexpr uint32_t kErrorLinkRefused = 1921;     // ERROR_CANT_RESOLVE_FILENAME: a link on the way

// A mutex shared by every holder of the same name (CreateMutexW(NULL, FALSE,
// name) on Windows; within the process on posix, where nothing else uses it).
class SharedMutex {
 public:
  virtual ~SharedMutex() = default;
  virtual void Lock() = 0;  // waits without limit
  virtual void Unlock() = 0;
};
std::shared_ptr<SharedMutex> OpenSharedMutex(const std::wstring& name);

// Holds a SharedMutex for one scope.
class SharedMutexLock {
 public:
  explicit SharedMutexLock(SharedMutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~SharedMutexLock() { mutex_.Unlock(); }
  SharedMutexLock(const SharedMutexLock&) = delete;
  SharedMutexLock& operator=(const SharedMutexLock&) = delete;

 private:
  SharedMutex& mutex_;
};

int ProcessorCount();
uint32_t CurrentProcessId();

struct ProcessEntry {
  uint32_t pid = 0;
  std::wstring exeName;  // file name of the executable, as the system lists it
};
// The running processes in the system's order; false when the list cannot be
// read. The first entry is the system's idle process on Windows.
bool ListProcesses(std::vector<ProcessEntry>* processes);
// Full image path of a process; empty when it cannot be read.
std::wstring ProcessImagePath(uint32_t pid);
// Terminates the process and waits briefly until it is gone, so that the
// files it held can be opened; false with *lastError when it fails.
bool KillProcess(uint32_t pid, uint32_t* lastError);

// Starts the program of a Windows-style command line (its first word) and
// does not wait for it: CreateProcessW with the command line, inherited
// handles, CREATE_DEFAULT_ERROR_MODE, the caller's environment and `folder`
// as working folder (empty: the caller's); the new process's handles are
// closed at once. Returns the Win32-style error: 0 when it started,
// kErrorFileNotFound for a missing program. posix: the command line is
// split as CommandLineToArgvW splits it and the program started detached.
uint32_t StartProgram(const std::wstring& commandLine, const std::wstring& folder);

// A program this process started. Destroying the object closes its handles;
// the program itself runs on.
class ChildProcess {
 public:
  virtual ~ChildProcess() = default;
  // True when the program has ended within `ms` milliseconds, with its exit
  // code (posix: the exit status, or 128 + the signal that ended it).
  virtual bool Wait(uint32_t ms, uint32_t* exitCode) = 0;
};
// Starts the held program with a Windows command line that carries no
// program name (CreateProcessW with the file's path as application name
// while the file is held, a writable copy of the line, handles inherited,
// CREATE_DEFAULT_ERROR_MODE). posix: the held descriptor is executed (its
// owner's execute bit added first, since a downloaded file has none), with
// the line split into arguments the way an Inno Setup installer splits its
// own. Null, with the Win32-style *lastError, when it cannot be started.
std::unique_ptr<ChildProcess> StartChildProcess(const PinnedFile& program, const std::wstring& commandLine,
                                                uint32_t* lastError);

// The files below are opened, created, renamed and deleted without following
// a link: neither a symbolic link (posix) or reparse point (Windows) in the
// file's place nor one in any folder of its path (below the drive root on
// Windows). A link in the file's place is what gets renamed or deleted, never
// its target; opening one fails, and so does opening for writing a file
// with more than one name (a hard link); "w" empties a file only after
// those checks. A narrow path is in the system's ANSI code page.

// fopen with the Win32-style error of a failure (32 for a file another
// process holds, 5 for access denied, 1921 for a link, ...). Mode letters as
// fopen's: r w a, +, b (text mode on Windows without it).
FILE* OpenFile(const std::string& path, const char* mode, uint32_t* lastError);
FILE* OpenFile(const std::wstring& path, const char* mode, uint32_t* lastError);
// Writes at a 64-bit offset of an unbuffered file (one system call where the
// system has one); the number of bytes written.
size_t WriteFileAt(FILE* file, int64_t offset, const void* data, size_t size);
// Pushes written data to the device (fflush and fsync / _commit).
bool SyncFile(FILE* file);
// Size of the file in bytes, -1 when it cannot be read.
int64_t FileSize(const std::string& path);
// Replaces `to` by `from` in one step (rename over the old file).
bool ReplaceFile(const std::string& from, const std::string& to);
// DeleteFile; *lastError (when given) receives the Win32-style error.
bool RemoveFile(const std::string& path, uint32_t* lastError = nullptr);
bool RemoveFile(const std::wstring& path, uint32_t* lastError = nullptr);

}  // namespace platform
