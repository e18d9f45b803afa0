// A program file held open from its checks to its start, so that what was
// hashed and whose signature was verified is what runs. Implemented by the
// posix/ and win32/ backends.
//
// It is opened without following a link (as every file of the platform
// layer). On Windows the handle shares reading only: while it is held no
// other open may write, rename or delete the file, and CreateProcessW starts
// the file it holds. On posix the one descriptor is read by the hash and the
// signature check and executed through /proc/self/fd, so a file renamed over
// the path meanwhile is not what runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class PinnedFile {
 public:
  ~PinnedFile();  // closes the handle
  PinnedFile(const PinnedFile&) = delete;
  PinnedFile& operator=(const PinnedFile&) = delete;

  const std::wstring& Path() const { return path_; }
  // -1 when it cannot be read.
  int64_t Size() const;
  // The bytes read; fewer at the end of the file.
  size_t ReadAt(int64_t offset, void* data, size_t size) const;
  // The backend's handle (a HANDLE or a descriptor), for its own calls.
  intptr_t Native() const { return native_; }

 private:
  friend std::unique_ptr<PinnedFile> OpenPinnedFile(const std::wstring& path, uint32_t* lastError);
  PinnedFile(std::wstring path, intptr_t native) : path_(std::move(path)), native_(native) {}

  std::wstring path_;
  intptr_t native_;
};

// Null, with the Win32-style *lastError, when the file cannot be opened so:
// missing, a link, not a regular file, or (Windows) open for writing
// elsewhere.
std::unique_ptr<PinnedFile> OpenPinnedFile(const std::wstring& path, uint32_t* lastError);

}  // namespace platform
