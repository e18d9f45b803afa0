// Helpers of the Windows-only tests (tests/win), which run under wine64 in
// the x86_64 test program.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "platform/Platform.h"

namespace wintest {

// A name no other test run uses at the same time.
inline std::wstring UniqueName(const wchar_t* prefix) {
  return std::wstring(prefix) + L"_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
         std::to_wstring(GetTickCount());
}

// Folder of the running test program, with a trailing backslash.
inline std::wstring ProgramFolder() {
  const std::wstring path = platform::RealSystem().ModulePath();
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// A fresh folder under %TEMP% for one test, removed afterwards.
class WinTempFolder {
 public:
  explicit WinTempFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH + 1] = {0};
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + UniqueName(name);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~WinTempFolder() { RemoveTree(path_); }
  WinTempFolder(const WinTempFolder&) = delete;
  WinTempFolder& operator=(const WinTempFolder&) = delete;
  const std::wstring& path() const { return path_; }

  // Writes a file (raw bytes) inside the folder and returns its path.
  std::wstring WriteFile(const std::wstring& name, const std::string& bytes) const {
    const std::wstring file = path_ + L"\\" + name;
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
      CloseHandle(h);
    }
    return file;
  }

 private:
  static void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = folder + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          RemoveTree(child);
        else
          DeleteFileW(child.c_str());
      } while (FindNextFileW(find, &data));
      FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
  }

  std::wstring path_;
};

}  // namespace wintest
