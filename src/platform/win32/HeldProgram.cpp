// win32 backend of the held program file: a handle that lets others only
// read the file, so that nobody can write, rename or delete it, and copies
// started by its path, which the handle keeps naming this file.
#include "platform/HeldProgram.h"

#include "platform/win32/Win32Common.h"

#include <psapi.h>

#include "platform/Platform.h"

namespace platform {

namespace {

// The file's identity (volume and file index), whatever name it has now.
bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION first{}, second{};
  return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

// The file the running image was mapped from, opened under the name the
// system gives the mapping (which follows a rename); no handle when the
// system cannot tell.
HANDLE OpenRunningImage() {
  wchar_t mapped[1024];
  const DWORD length = GetMappedFileNameW(GetCurrentProcess(), GetModuleHandleW(nullptr), mapped, 1024);
  if (length == 0 || length >= 1024) return INVALID_HANDLE_VALUE;
  const std::wstring name(mapped, length);
  // An NT name: "\??\C:\..." (a DOS device) or "\Device\HarddiskVolume2\...".
  const std::wstring path = name.rfind(L"\\??\\", 0) == 0 ? L"\\\\?\\" + name.substr(4) : L"\\\\?\\GLOBALROOT" + name;
  return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

class Win32HeldProgram final : public HeldProgram {
 public:
  Win32HeldProgram(HANDLE handle, std::wstring path) : handle_(handle), path_(std::move(path)) {}

  HANDLE handle() const { return handle_.get(); }
  std::wstring LaunchPath() const override { return path_; }

  // CreateProcessW with the held path as the program: the copy inherits this
  // process's rights (Setup's manifest asks for elevation in any case) and
  // none of its handles.
  bool Start(const std::wstring& parameters, bool show) override {
    std::wstring commandLine = L"\"" + path_ + L"\" " + parameters;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show ? SW_SHOWNORMAL : SW_HIDE;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path_.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr,
                        nullptr, &startup, &process))
      return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
  }

 private:
  win32::ScopedHandle handle_;
  std::wstring path_;
};

std::unique_ptr<Win32HeldProgram> Hold(const std::wstring& path) {
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32HeldProgram>(handle, path);
}

}  // namespace

std::unique_ptr<HeldProgram> HeldProgram::Open(const std::wstring& path) { return Hold(path); }

std::unique_ptr<HeldProgram> HeldProgram::OpenRunning() {
  std::unique_ptr<Win32HeldProgram> held = Hold(RealSystem().ModulePath());
  if (!held) return nullptr;
  // Held within moments of the start; only a system that cannot name the
  // image leaves that moment unchecked.
  win32::ScopedHandle image(OpenRunningImage());
  if (image.valid() && !SameFile(image.get(), held->handle())) return nullptr;
  return held;
}

}  // namespace platform
