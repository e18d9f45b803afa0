// posix backend of the shared files. Range locks are open-file locks
// (F_OFD_SETLK): like flock they belong to one open of the file and end with
// it, so two opens in one process exclude each other and a killed process
// leaves no lock behind; unlike flock they cover byte ranges.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Process.h"
#include "platform/SharedFile.h"
#include "platform/posix/PosixInternal.h"

namespace platform {

namespace {

class PosixSharedFile : public SharedFile {
 public:
  explicit PosixSharedFile(int fd) : fd_(fd) {}
  ~PosixSharedFile() override { close(fd_); }

  int64_t Size() override {
    struct stat info;
    return fstat(fd_, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
  }

  size_t ReadAt(int64_t offset, void* data, size_t size) override {
    size_t done = 0;
    while (done < size) {
      const ssize_t n = pread(fd_, static_cast<char*>(data) + done, size - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    return done;
  }

  bool WriteAt(int64_t offset, const void* data, size_t size) override {
    size_t done = 0;
    while (done < size) {
      const ssize_t n =
          pwrite(fd_, static_cast<const char*>(data) + done, size - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  bool Sync() override { return fdatasync(fd_) == 0; }

  bool LockRange(int64_t offset, int64_t length, bool wait) override {
    struct flock range = {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<off_t>(offset);
    range.l_len = static_cast<off_t>(length);
    int result;
    do {
      result = fcntl(fd_, wait ? F_OFD_SETLKW : F_OFD_SETLK, &range);
    } while (result != 0 && errno == EINTR);
    return result == 0;
  }

 private:
  int fd_;
};

int OpenFlags(OpenMode mode) {
  switch (mode) {
    case OpenMode::kAlways: return O_CREAT;
    case OpenMode::kTruncate: return O_CREAT | O_TRUNC;
    default: return 0;
  }
}

}  // namespace

std::unique_ptr<SharedFile> OpenSharedFile(const std::wstring& path, OpenMode mode, bool* missing) {
  const int fd = posix::OpenNoFollow(posix::NativePath(path), O_RDWR | OpenFlags(mode), 0644);
  if (missing) *missing = fd < 0 && errno == ENOENT;
  if (fd < 0) return nullptr;
  return std::make_unique<PosixSharedFile>(fd);
}

bool ReadFileBytes(const std::wstring& path, std::string* bytes) {
  return posix::ReadWholeFile(posix::NativePath(path), bytes);
}

bool posix::ReadWholeFile(const std::string& path, std::string* content) {
  content->clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return false;
  }
  char buffer[8192];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(fd);
      if (n < 0) content->clear();
      return n == 0;
    }
    content->append(buffer, static_cast<size_t>(n));
  }
}

bool RenameOver(const std::wstring& from, const std::wstring& to) {
  return ReplaceFile(posix::NativePath(from), posix::NativePath(to));
}

}  // namespace platform
