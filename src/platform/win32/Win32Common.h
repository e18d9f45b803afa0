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

#include "platform/Platform.h"

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

// ---- paths without links (NoFollow.cpp) ------------------------------------
//
// Files and folders are reached without following a reparse point: the
// path (made full by GetFullPathNameW) is walked from its root (a drive
// "X:\" or a share "\\server\share\") folder by folder, each opened below
// the one before it (NtCreateFile with a root directory handle and
// FILE_OPEN_REPARSE_POINT), so that no junction, symbolic link or mount
// point below the root, nor one swapped in while the path is walked, leads
// elsewhere. Failures return INVALID_HANDLE_VALUE with the last error set
// (ERROR_CANT_RESOLVE_FILENAME for a reparse point on the way,
// ERROR_PATH_NOT_FOUND for a missing folder).

// The folder that holds the path's last name, and that name.
HANDLE OpenParentNoFollow(const std::wstring& path, std::wstring* name);
// `name` below `folder`, never through a reparse point: one there is opened
// itself (FILE_OPEN_REPARSE_POINT). `disposition` and `options` are
// NtCreateFile's (FILE_OPEN, FILE_OPEN_IF, FILE_CREATE; FILE_DIRECTORY_FILE,
// FILE_NON_DIRECTORY_FILE); SYNCHRONIZE and FILE_READ_ATTRIBUTES are added
// to `access`, and I/O is synchronous. `security` is the descriptor of a
// created object (nullptr: inherited). Nothing is allocated, so a crash
// filter may call it once the path functions have run.
HANDLE OpenBelow(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                 ULONG options, PSECURITY_DESCRIPTOR security = nullptr);
// The file at `path`: a reparse point there is refused, and so, when
// `access` writes, is a file with more than one name; `truncate` empties it
// after those checks.
HANDLE OpenNoFollow(const std::wstring& path, ACCESS_MASK access, ULONG share, ULONG disposition, bool truncate);
bool IsReparsePoint(HANDLE handle);
// Deletes what the handle (opened with DELETE) names: a link itself, never
// its target.
bool DeleteByHandle(HANDLE handle);
// Renames what the handle (opened with DELETE) names to `name` below
// `folder`, replacing what is there (a link there is replaced, not followed).
bool RenameBelow(HANDLE file, HANDLE folder, const std::wstring& name);

// The security descriptor of a folder only Administrators and SYSTEM may
// change: "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)" (built once, kept).
PSECURITY_DESCRIPTOR PrivateFolderSecurity();
// Which FolderState an owner and DACL amount to for this process: only
// Administrators, SYSTEM and the owner the process gives its objects (when
// that is not Administrators, also its user) may own the folder or hold a
// right to change it or what it will hold (inherit-only entries count).
// `dacl` null: no DACL, everybody may.
FolderState JudgeFolderSecurity(PSID owner, PACL dacl);

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
