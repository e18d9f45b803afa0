// posix backend: paths walked without following a symbolic link (see
// PosixInternal.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/posix/PosixInternal.h"

namespace platform {
namespace posix {

namespace {

// The names of a path, without empty ones and "."; false for a "..".
bool SplitNames(const std::string& path, std::vector<std::string>* names) {
  names->clear();
  for (size_t start = 0; start <= path.size();) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(start, end - start);
    if (name == "..") return false;
    if (!name.empty() && name != ".") names->push_back(name);
    start = end + 1;
  }
  return true;
}

// Closes `fd` keeping errno.
void CloseKeepingError(int fd) {
  const int error = errno;
  close(fd);
  errno = error;
}

// One folder below `folder`; a link in its place fails with ELOOP.
int OpenSubfolder(int folder, const std::string& name) {
  const int fd = openat(folder, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 && errno == ENOTDIR) {
    struct stat info;
    if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) errno = ELOOP;
    else errno = ENOTDIR;
  }
  return fd;
}

// The folder reached by the first `count` names, from "/" or the working folder.
int OpenFolders(bool absolute, const std::vector<std::string>& names, size_t count) {
  int fd = open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  for (size_t i = 0; i < count && fd >= 0; ++i) {
    const int next = OpenSubfolder(fd, names[i]);
    CloseKeepingError(fd);
    fd = next;
  }
  return fd;
}

}  // namespace

int OpenFolderNoFollow(const std::string& path) {
  std::vector<std::string> names;
  if (path.empty() || !SplitNames(path, &names)) {
    errno = path.empty() ? ENOENT : EINVAL;
    return -1;
  }
  return OpenFolders(path[0] == '/', names, names.size());
}

int OpenParentNoFollow(const std::string& path, std::string* name) {
  std::vector<std::string> names;
  if (!SplitNames(path, &names) || names.empty()) {
    errno = names.empty() ? ENOENT : EINVAL;
    return -1;
  }
  *name = names.back();
  return OpenFolders(path[0] == '/', names, names.size() - 1);
}

int OpenNoFollow(const std::string& path, int flags, mode_t mode) {
  std::string name;
  const int parent = OpenParentNoFollow(path, &name);
  if (parent < 0) return -1;
  // O_NONBLOCK: a FIFO planted in the file's place must not hang the open.
  const int fd = openat(parent, name.c_str(), (flags & ~O_TRUNC) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);
  CloseKeepingError(parent);
  if (fd < 0) return -1;
  struct stat info;
  int error = 0;
  if (fstat(fd, &info) != 0) error = errno;
  else if (!S_ISREG(info.st_mode)) error = EINVAL;
  else if ((flags & O_ACCMODE) != O_RDONLY && info.st_nlink > 1) error = EMLINK;
  else if ((flags & O_TRUNC) && ftruncate(fd, 0) != 0) error = errno;
  else if (!(flags & O_NONBLOCK) && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) error = errno;
  if (error == 0) return fd;
  close(fd);
  errno = error;
  return -1;
}

}  // namespace posix
}  // namespace platform
