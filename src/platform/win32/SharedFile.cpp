// win32 backend of the shared files: opened with read, write and delete
// sharing, without following a link; positioned ReadFile/WriteFile,
// LockFileEx ranges.
#include <vector>

#include "platform/SharedFile.h"
#include "platform/win32/Win32Common.h"

namespace platform {

namespace {

OVERLAPPED At(int64_t offset) {
  OVERLAPPED position = {};
  position.Offset = static_cast<DWORD>(offset);
  position.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
  return position;
}

class Win32SharedFile : public SharedFile {
 public:
  explicit Win32SharedFile(HANDLE handle) : handle_(handle) {}
  // Closing would release the locks too, but only "when resources allow".
  ~Win32SharedFile() override {
    for (const auto& range : locked_) {
      OVERLAPPED position = At(range.first);
      UnlockFileEx(handle_, 0, Low(range.second), High(range.second), &position);
    }
    CloseHandle(handle_);
  }

  int64_t Size() override {
    LARGE_INTEGER size;
    return GetFileSizeEx(handle_, &size) ? static_cast<int64_t>(size.QuadPart) : -1;
  }

  size_t ReadAt(int64_t offset, void* data, size_t size) override {
    size_t done = 0;
    while (done < size) {
      OVERLAPPED position = At(offset + static_cast<int64_t>(done));
      DWORD n = 0;
      if (!ReadFile(handle_, static_cast<char*>(data) + done, Chunk(size - done), &n, &position) || n == 0) break;
      done += n;
    }
    return done;
  }

  bool WriteAt(int64_t offset, const void* data, size_t size) override {
    size_t done = 0;
    while (done < size) {
      OVERLAPPED position = At(offset + static_cast<int64_t>(done));
      DWORD n = 0;
      if (!WriteFile(handle_, static_cast<const char*>(data) + done, Chunk(size - done), &n, &position) || n == 0)
        return false;
      done += n;
    }
    return true;
  }

  bool Sync() override { return FlushFileBuffers(handle_) != FALSE; }

  bool LockRange(int64_t offset, int64_t length, bool wait) override {
    OVERLAPPED position = At(offset);
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    if (!LockFileEx(handle_, flags, 0, Low(length), High(length), &position)) return false;
    locked_.emplace_back(offset, length);
    return true;
  }

 private:
  static DWORD Chunk(size_t left) { return static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30)); }
  static DWORD Low(int64_t value) { return static_cast<DWORD>(value); }
  static DWORD High(int64_t value) { return static_cast<DWORD>(static_cast<uint64_t>(value) >> 32); }

  HANDLE handle_;
  std::vector<std::pair<int64_t, int64_t>> locked_;
};

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

std::unique_ptr<SharedFile> OpenSharedFile(const std::wstring& path, OpenMode mode, bool* missing) {
  const HANDLE handle = win32::OpenNoFollow(path, GENERIC_READ | GENERIC_WRITE, kShareAll,
                                            mode == OpenMode::kExisting ? FILE_OPEN : FILE_OPEN_IF,
                                            mode == OpenMode::kTruncate);
  if (missing) {
    const DWORD error = GetLastError();
    *missing = handle == INVALID_HANDLE_VALUE && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
  }
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32SharedFile>(handle);
}

bool ReadFileBytes(const std::wstring& path, std::string* bytes) {
  bytes->clear();
  win32::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  char buffer[16 * 1024];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) {
    if (read == 0) return true;
    bytes->append(buffer, read);
  }
  bytes->clear();
  return false;
}

// The file itself is renamed (a link, not its target) into the folder of
// `to`, both reached without following a link.
bool RenameOver(const std::wstring& from, const std::wstring& to) {
  std::wstring fromName, toName;
  const win32::ScopedHandle fromFolder(win32::OpenParentNoFollow(from, &fromName));
  const win32::ScopedHandle toFolder(fromFolder.valid() ? win32::OpenParentNoFollow(to, &toName)
                                                        : INVALID_HANDLE_VALUE);
  const win32::ScopedHandle file(toFolder.valid() ? win32::OpenBelow(fromFolder.get(), fromName, DELETE, kShareAll,
                                                                     FILE_OPEN, FILE_NON_DIRECTORY_FILE)
                                                  : INVALID_HANDLE_VALUE);
  return file.valid() && win32::RenameBelow(file.get(), toFolder.get(), toName);
}

}  // namespace platform
