// posix backend of the process and file services.
#include "platform/Process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "platform/Platform.h"
#include "platform/posix/PosixInternal.h"

namespace platform {

namespace {

std::string ReadLink(const std::string& path) {
  char buffer[4096];
  ssize_t length = readlink(path.c_str(), buffer, sizeof buffer - 1);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

// A process that has ended (gone or a zombie) no longer holds its image.
bool ProcessEnded(uint32_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  size_t close = line.rfind(')');
  return close == std::string::npos || line.compare(close + 2, 1, "Z") == 0;
}

}  // namespace

namespace posix {

uint32_t Win32ErrorOf(int error) {
  switch (error) {
    case ETXTBSY: return kErrorSharingViolation;  // a running program's image
    case EACCES:
    case EPERM:
    case EROFS: return kErrorAccessDenied;
    case ENOENT: return kErrorFileNotFound;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kErrorDiskFull;
    case ENOEXEC: return 193;  // ERROR_BAD_EXE_FORMAT
    case ELOOP: return kErrorLinkRefused;
    case EMLINK: return 1142;  // ERROR_TOO_MANY_LINKS
    default: return static_cast<uint32_t>(error);
  }
}

}  // namespace posix

using posix::Win32ErrorOf;

int ProcessorCount() {
  long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<int>(count) : 1;
}

uint32_t CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

bool ListProcesses(std::vector<ProcessEntry>* processes) {
  DIR* proc = opendir("/proc");
  if (!proc) return false;
  processes->clear();
  while (dirent* entry = readdir(proc)) {
    char* end = nullptr;
    unsigned long pid = std::strtoul(entry->d_name, &end, 10);
    if (*end != '\0' || pid == 0) continue;
    std::string image = ReadLink("/proc/" + std::string(entry->d_name) + "/exe");
    if (image.empty()) continue;
    processes->push_back({static_cast<uint32_t>(pid), AnsiToWide(image.substr(image.rfind('/') + 1))});
  }
  closedir(proc);
  return true;
}

std::wstring ProcessImagePath(uint32_t pid) {
  return AnsiToWide(ReadLink("/proc/" + std::to_string(pid) + "/exe"));
}

bool KillProcess(uint32_t pid, uint32_t* lastError) {
  if (kill(static_cast<pid_t>(pid), SIGKILL) != 0) {
    *lastError = posix::Win32ErrorOf(errno);
    return false;
  }
  *lastError = 0;
  for (int i = 0; i < 200 && !ProcessEnded(pid); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return true;
}

FILE* OpenFile(const std::string& path, const char* mode, uint32_t* lastError) {
  const bool plus = std::strchr(mode, '+') != nullptr;
  int flags = plus ? O_RDWR : O_RDONLY;
  if (mode[0] == 'w') flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
  if (mode[0] == 'a') flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
  const int fd = posix::OpenNoFollow(path, flags, 0666);
  FILE* file = fd >= 0 ? fdopen(fd, mode) : nullptr;
  if (fd >= 0 && !file) close(fd);
  *lastError = file ? 0 : posix::Win32ErrorOf(errno);
  return file;
}

FILE* OpenFile(const std::wstring& path, const char* mode, uint32_t* lastError) {
  return OpenFile(posix::NativePath(path), mode, lastError);
}

size_t WriteFileAt(FILE* file, int64_t offset, const void* data, size_t size, uint32_t* lastError) {
  size_t done = 0;
  while (done < size) {
    ssize_t written = pwrite(fileno(file), static_cast<const char*>(data) + done, size - done,
                             static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      // A write of nothing without an error is a full device as well.
      if (lastError) *lastError = written < 0 ? Win32ErrorOf(errno) : kErrorDiskFull;
      break;
    }
    done += static_cast<size_t>(written);
  }
  return done;
}

bool SyncFile(FILE* file) {
  return std::fflush(file) == 0 && fdatasync(fileno(file)) == 0;
}

// The blocks are reserved as well (where the file system can): a disk
// without room says so before the first byte arrives, and writing the file
// later allocates nothing.
bool SetFileLength(FILE* file, int64_t length, uint32_t* lastError) {
  const int fd = fileno(file);
  bool set = ftruncate(fd, static_cast<off_t>(length)) == 0;
  if (set && length > 0 && fallocate(fd, 0, 0, static_cast<off_t>(length)) != 0)
    set = errno == EOPNOTSUPP || errno == ENOSYS;
  *lastError = set ? 0 : Win32ErrorOf(errno);
  return set;
}

int64_t FileSize(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  std::string fromName, toName;
  const int fromFolder = posix::OpenParentNoFollow(from, &fromName);
  const int toFolder = fromFolder >= 0 ? posix::OpenParentNoFollow(to, &toName) : -1;
  const bool replaced = toFolder >= 0 && renameat(fromFolder, fromName.c_str(), toFolder, toName.c_str()) == 0;
  if (toFolder >= 0) close(toFolder);
  if (fromFolder >= 0) close(fromFolder);
  return replaced;
}

bool RemoveFile(const std::string& path, uint32_t* lastError) {
  std::string name;
  const int folder = posix::OpenParentNoFollow(path, &name);
  const bool removed = folder >= 0 && unlinkat(folder, name.c_str(), 0) == 0;
  if (lastError) *lastError = removed ? 0 : Win32ErrorOf(errno);
  if (folder >= 0) close(folder);
  return removed;
}

bool RemoveFile(const std::wstring& path, uint32_t* lastError) {
  return RemoveFile(posix::NativePath(path), lastError);
}

}  // namespace platform
