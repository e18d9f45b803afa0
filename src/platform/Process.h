// Processes and the 64-bit file operations of the download engine.
// Implemented by the posix/ and win32/ backends.
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
// system has one); the number of bytes written. Short of `size`, *lastError
// (when given) receives the Win32-style error (Platform.h's kErrorDiskFull for a
// full disk).
size_t WriteFileAt(FILE* file, int64_t offset, const void* data, size_t size, uint32_t* lastError = nullptr);
// Pushes written data to the device (fflush, then fdatasync / FlushFileBuffers).
// Safe while other threads write with WriteFileAt.
bool SyncFile(FILE* file);
// Sets the length of an open file: cuts a longer one, extends a shorter one
// without writing the gap, and reserves its blocks where the file system
// can, so that a disk without room fails here. False with the Win32-style
// *lastError when it fails.
bool SetFileLength(FILE* file, int64_t length, uint32_t* lastError);
// Size of the file in bytes, -1 when it cannot be read.
int64_t FileSize(const std::string& path);
// Replaces `to` by `from` in one step (rename over the old file).
bool ReplaceFile(const std::string& from, const std::string& to);
// DeleteFile; *lastError (when given) receives the Win32-style error.
bool RemoveFile(const std::string& path, uint32_t* lastError = nullptr);
bool RemoveFile(const std::wstring& path, uint32_t* lastError = nullptr);

}  // namespace platform
