// posix backend: single-instance locks, COM and the firewall.
//
// A named mutex is an flock'ed lock file "websetup-mutex-<name>" in /dev/shm
// (or /tmp when /dev/shm is not a writable folder). The lock belongs to the
// open file, so it ends with the process, like an abandoned Win32 mutex; a
// second holder in another process, or a second CreateOwnedMutex of the
// same name in this process, gets 183 (ERROR_ALREADY_EXISTS) and an object
// that owns nothing. The lock files are left in place (removing them could
// race with a new holder).
//
// A main window is advertised by holding an exclusive flock on the lock
// file "websetup-window-<class>" for the life of the process;
// FindVisibleInstance sees a window when that lock is held.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <easylogging++.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace platform {

namespace {

const std::string& LockFolder() {
  static const std::string folder = [] {
    struct stat st;
    if (stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && access("/dev/shm", W_OK | X_OK) == 0)
      return std::string("/dev/shm");
    return std::string("/tmp");
  }();
  return folder;
}

// A file name made of the kind and the escaped name (letters, digits, "-",
// "_" and "." stay; other bytes of the UTF-8 name become %XX); a very long
// name is shortened with a hash.
std::string LockFilePath(const char* kind, const std::wstring& name) {
  const std::string utf8 = WideToUtf8(name);
  std::string escaped;
  for (unsigned char c : utf8) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || (c == '.' && !escaped.empty())) {
      escaped += static_cast<char>(c);
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      escaped += buf;
    }
  }
  if (escaped.size() > 180) {
    uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : utf8) hash = (hash ^ c) * 1099511628211ull;
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(hash));
    escaped = escaped.substr(0, 160) + "~" + buf;
  }
  return LockFolder() + "/websetup-" + kind + "-" + escaped;
}

// Lock files are shared by every user of the machine (mode 0666; fchmod
// rather than umask, which is process-wide and not thread-safe).
int OpenLockFile(const std::string& path, bool create) {
  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT | O_EXCL : 0), 0666);
  if (fd >= 0 && create) {
    if (fchmod(fd, 0666) != 0) {
      // Not fatal: the lock works for this user all the same.
    }
    return fd;
  }
  if (fd < 0 && create) fd = open(path.c_str(), O_RDWR | O_CLOEXEC);  // exists already
  if (fd < 0) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);         // another user's file
  return fd;
}

class FlockMutex : public NamedMutex {
 public:
  explicit FlockMutex(int fd) : fd_(fd) {}
  ~FlockMutex() override {
    if (fd_ >= 0) close(fd_);  // releases the lock if still held
  }
  void Release() override {
    if (fd_ >= 0) flock(fd_, LOCK_UN);
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<NamedMutex> CreateOwnedMutex(const std::wstring& name, uint32_t* lastError) {
  const std::string path = LockFilePath("mutex", name);
  int fd = OpenLockFile(path, true);
  if (fd < 0) {
    // The lock cannot be taken at all: behave as if the mutex was created
    // (the single-instance guard must not stop the program).
    if (lastError) *lastError = kErrorSuccess;
    return std::unique_ptr<NamedMutex>(new FlockMutex(-1));
  }
  int rc;
  do {
    rc = flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    close(fd);
    if (lastError) *lastError = kErrorAlreadyExists;
    return std::unique_ptr<NamedMutex>(new FlockMutex(-1));
  }
  if (lastError) *lastError = kErrorSuccess;
  return std::unique_ptr<NamedMutex>(new FlockMutex(fd));
}

bool FindVisibleInstance(const std::wstring& className, bool bringForward) {
  int fd = OpenLockFile(LockFilePath("window", className), false);
  if (fd < 0) return false;
  bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);
  if (held && bringForward)
    LOG(INFO) << " Another instance's window " << WideToUtf8(className)
              << " is open (bringing it forward is not possible on this system)";
  return held;
}

void AdvertiseInstance(const std::wstring& className) {
  static std::mutex lock;
  static std::vector<std::string> advertised;  // lock files held until exit
  std::lock_guard<std::mutex> guard(lock);
  const std::string path = LockFilePath("window", className);
  for (const std::string& p : advertised)
    if (p == path) return;
  int fd = OpenLockFile(path, true);
  if (fd < 0) return;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);  // another process advertises the same class
    return;
  }
  advertised.push_back(path);  // fd stays open: the lock lives with the process
}

bool ComInitialize() { return true; }

void ComUninitialize() {}

int WindowsFirewallAuthorize(const wchar_t* imagePath) {
  (void)imagePath;
  std::printf("WindowsFirewallAuthorize: no Windows Firewall manager on this system, nothing to authorise\n");
  std::fflush(stdout);
  return -1;
}

int WindowsFirewallRevoke(const wchar_t* imagePath) {
  (void)imagePath;
  std::printf("WindowsFirewallRevoke: no Windows Firewall manager on this system, nothing to remove\n");
  std::fflush(stdout);
  return -1;
}

}  // namespace platform
