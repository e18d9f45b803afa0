// posix backend of the held program file: one read-only descriptor.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/PinnedFile.h"
#include "platform/posix/PosixInternal.h"

namespace platform {

PinnedFile::~PinnedFile() { close(static_cast<int>(native_)); }

int64_t PinnedFile::Size() const {
  struct stat info;
  return fstat(static_cast<int>(native_), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

size_t PinnedFile::ReadAt(int64_t offset, void* data, size_t size) const {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pread(static_cast<int>(native_), static_cast<char*>(data) + done, size - done,
                            static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

std::unique_ptr<PinnedFile> OpenPinnedFile(const std::wstring& path, uint32_t* lastError) {
  const int fd = posix::OpenNoFollow(posix::NativePath(path), O_RDONLY, 0);
  if (lastError) *lastError = fd >= 0 ? 0 : posix::Win32ErrorOf(errno);
  if (fd < 0) return nullptr;
  return std::unique_ptr<PinnedFile>(new PinnedFile(path, fd));
}

}  // namespace platform
