// win32 backend of the held program file: a handle that shares reading
// only, opened without following a link.
#include "platform/PinnedFile.h"

#include "platform/win32/Win32Common.h"

namespace platform {

namespace {

HANDLE HandleOf(intptr_t native) { return reinterpret_cast<HANDLE>(native); }

}  // namespace

PinnedFile::~PinnedFile() { CloseHandle(HandleOf(native_)); }

int64_t PinnedFile::Size() const {
  LARGE_INTEGER size;
  return GetFileSizeEx(HandleOf(native_), &size) ? static_cast<int64_t>(size.QuadPart) : -1;
}

size_t PinnedFile::ReadAt(int64_t offset, void* data, size_t size) const {
  size_t done = 0;
  while (done < size) {
    const uint64_t at = static_cast<uint64_t>(offset) + done;
    OVERLAPPED position = {};
    position.Offset = static_cast<DWORD>(at);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    const size_t left = size - done;
    DWORD n = 0;
    if (!ReadFile(HandleOf(native_), static_cast<char*>(data) + done,
                  static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30)), &n, &position) ||
        n == 0)
      break;
    done += n;
  }
  return done;
}

std::unique_ptr<PinnedFile> OpenPinnedFile(const std::wstring& path, uint32_t* lastError) {
  const HANDLE handle = win32::OpenNoFollow(path, GENERIC_READ, FILE_SHARE_READ, FILE_OPEN, false);
  if (lastError) *lastError = handle != INVALID_HANDLE_VALUE ? 0 : GetLastError();
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::unique_ptr<PinnedFile>(new PinnedFile(path, reinterpret_cast<intptr_t>(handle)));
}

}  // namespace platform
