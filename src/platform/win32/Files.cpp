// Files, folders and INI files of the win32 backend.
#include "platform/Platform.h"
#include "platform/win32/Win32Common.h"

namespace platform {

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

uint32_t CreateOneDirectory(const std::wstring& path) {
  if (CreateDirectoryW(path.c_str(), nullptr)) return kErrorSuccess;
  return static_cast<uint32_t>(GetLastError());
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
