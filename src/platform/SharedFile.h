// Files that several processes read and change at once: opened by wide
// path, read and written at offsets, locked by byte ranges, read whole and
// replaced whole in one step. Implemented by the posix/ and win32/ backends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// An open file. On Windows it is opened with read, write and delete
// sharing, so that another process can rename a new file over it while it
// is open here. Files are opened and renamed without following a link, as
// those of Process.h.
class SharedFile {
 public:
  virtual ~SharedFile() = default;  // releases its locks and closes
  // -1 when it cannot be read.
  virtual int64_t Size() = 0;
  // The bytes read; fewer at the end of the file.
  virtual size_t ReadAt(int64_t offset, void* data, size_t size) = 0;
  virtual bool WriteAt(int64_t offset, const void* data, size_t size) = 0;
  // Pushes written data to the device (fdatasync / FlushFileBuffers).
  virtual bool Sync() = 0;
  // An exclusive lock of bytes [offset, offset + length), which may lie
  // beyond the end of the file, held until the file is closed. Locks of
  // two opens of one file exclude each other, also within one process
  // (open-file locks on posix, LockFileEx on Windows). With `wait` false it
  // fails at once when another open holds an overlapping range.
  virtual bool LockRange(int64_t offset, int64_t length, bool wait) = 0;
};

enum class OpenMode {
  kExisting,  // fails when the file is missing
  kAlways,    // creates a missing file
  kTruncate,  // creates the file, or empties it
};
// Read and write access; null when the file cannot be opened. Then
// *missing, when asked, tells a file that is not there (nor its folder)
// from one that is there but cannot be opened now (locked, refused, a link,
// no descriptor left).
std::unique_ptr<SharedFile> OpenSharedFile(const std::wstring& path, OpenMode mode, bool* missing = nullptr);

// The whole content of any file, read at once, as bytes; false when it cannot be opened or
// read (then *bytes is empty). Others may read, write and rename the file
// meanwhile, as with the C library's fopen.
bool ReadFileBytes(const std::wstring& path, std::string* bytes);

// Renames `from` over an existing `to` in one step (rename / MoveFileExW).
bool RenameOver(const std::wstring& from, const std::wstring& to);

// Replaces the file's content in one step: the bytes go to a new file
// beside it, are synced to the device and renamed over it, so that a crash
// leaves the old content or the new, never a mix or an empty file.
bool ReplaceFileContent(const std::wstring& path, const std::string& bytes);

}  // namespace platform
