// Internal helpers of the win32 backend (not part of the platform layer).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace platform {
namespace win32 {

// Closes a kernel handle at the end of a scope (INVALID_HANDLE_VALUE and
// NULL are both "no handle").
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~ScopedHandle() {
    if (valid()) CloseHandle(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Closes a registry key at the end of a scope.
class ScopedRegKey {
 public:
  ScopedRegKey() = default;
  ~ScopedRegKey() {
    if (key_) RegCloseKey(key_);
  }
  ScopedRegKey(const ScopedRegKey&) = delete;
  ScopedRegKey& operator=(const ScopedRegKey&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// RegQueryValueExW of a string value into at most `maxChars` characters
// (terminating NULs dropped); false when the value cannot be read.
bool QueryRegString(HKEY key, const wchar_t* name, size_t maxChars, std::wstring* value);

// A file of the Windows folder or of System32 by its full path
// ("C:\Windows\explorer.exe"); empty when the system does not name the folder.
std::wstring WindowsFolderFile(const wchar_t* name);
std::wstring SystemFolderFile(const wchar_t* name);

// Has the desktop shell, Explorer running as the signed-in user, open the
// file or web address (DesktopShell.cpp). An error when no desktop shell
// can be reached.
HRESULT OpenFromDesktopShell(const std::wstring& file);

}  // namespace win32
}  // namespace platform
