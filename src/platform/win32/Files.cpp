// Files, folders and INI files of the win32 backend.
#include "platform/Platform.h"
#include "platform/win32/Win32Common.h"

#include <aclapi.h>

namespace platform {

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

uint32_t MakeFolder(const std::wstring& path, PSECURITY_DESCRIPTOR security) {
  std::wstring name;
  const win32::ScopedHandle parent(win32::OpenParentNoFollow(path, &name));
  if (!parent.valid()) return static_cast<uint32_t>(GetLastError());
  const win32::ScopedHandle folder(
      win32::OpenBelow(parent.get(), name, FILE_LIST_DIRECTORY, kShareAll, FILE_CREATE, FILE_DIRECTORY_FILE, security));
  return folder.valid() ? kErrorSuccess : static_cast<uint32_t>(GetLastError());
}

FolderState StateOfError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return FolderState::kMissing;
    case ERROR_CANT_RESOLVE_FILENAME: return FolderState::kLink;
    default: return FolderState::kUnreadable;
  }
}

}  // namespace

uint32_t CreateOneDirectory(const std::wstring& path) { return MakeFolder(path, nullptr); }

uint32_t CreatePrivateFolder(const std::wstring& path) {
  const PSECURITY_DESCRIPTOR security = win32::PrivateFolderSecurity();
  return security ? MakeFolder(path, security) : static_cast<uint32_t>(ERROR_INVALID_SECURITY_DESCR);
}

FolderState CheckPrivateFolder(const std::wstring& path) {
  std::wstring name;
  const win32::ScopedHandle parent(win32::OpenParentNoFollow(path, &name));
  if (!parent.valid()) return StateOfError(GetLastError());
  const win32::ScopedHandle folder(win32::OpenBelow(parent.get(), name, READ_CONTROL, kShareAll, FILE_OPEN, 0));
  BY_HANDLE_FILE_INFORMATION info;
  if (!folder.valid()) return StateOfError(GetLastError());
  if (!GetFileInformationByHandle(folder.get(), &info)) return FolderState::kUnreadable;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return FolderState::kLink;
  if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return FolderState::kNotAFolder;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR security = nullptr;
  if (GetSecurityInfo(folder.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                      nullptr, &dacl, nullptr, &security) != ERROR_SUCCESS)
    return FolderState::kUnreadable;
  const FolderState state = win32::JudgeFolderSecurity(owner, dacl);
  LocalFree(security);
  return state;
}

bool RemoveFolderOrLink(const std::wstring& path) {
  std::wstring name;
  const win32::ScopedHandle parent(win32::OpenParentNoFollow(path, &name));
  const win32::ScopedHandle entry(
      parent.valid() ? win32::OpenBelow(parent.get(), name, DELETE, kShareAll, FILE_OPEN, 0) : INVALID_HANDLE_VALUE);
  BY_HANDLE_FILE_INFORMATION info;
  if (!entry.valid() || !GetFileInformationByHandle(entry.get(), &info)) return false;
  if (!(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) return false;
  return win32::DeleteByHandle(entry.get());
}

// FindFirstFileW / FindNextFileW over folder + "*.*".
std::vector<DirEntry> ListDirectory(const std::wstring& folder) {
  std::vector<DirEntry> entries;
  std::wstring pattern = folder;
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L"*.*";
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    DirEntry entry;
    entry.name = name;
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entries.push_back(entry);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return entries;
}

int IniReadInt(const std::wstring& file, const std::wstring& section, const std::wstring& key,
               int defaultValue) {
  return static_cast<int>(
      GetPrivateProfileIntW(section.c_str(), key.c_str(), defaultValue, file.c_str()));
}

std::wstring IniReadString(const std::wstring& file, const std::wstring& section,
                           const std::wstring& key, const std::wstring& defaultValue) {
  DWORD size = 1024;
  for (;;) {
    std::wstring buffer(size, L'\0');
    const DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(),
                                             &buffer[0], size, file.c_str());
    if (n + 1 < size || size >= (1u << 20)) {  // fitted (n == size - 1 means cut)
      buffer.resize(n < size ? n : size - 1);
      return buffer;
    }
    size *= 4;
  }
}

}  // namespace platform
