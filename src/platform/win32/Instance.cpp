// Single-instance guard and COM of the win32 backend.
#include "platform/Platform.h"
#include "platform/win32/Win32Common.h"

#include <objbase.h>

namespace platform {

namespace {

class Win32NamedMutex final : public NamedMutex {
 public:
  explicit Win32NamedMutex(HANDLE handle) : handle_(handle) {}
  ~Win32NamedMutex() override {
    if (handle_) CloseHandle(handle_);
  }
  void Release() override {
    if (handle_) ReleaseMutex(handle_);
  }

 private:
  HANDLE handle_;
};

}  // namespace

// CreateMutexW(NULL, TRUE, name); the last error tells whether another
// process already had it (ERROR_ALREADY_EXISTS, 183).
std::unique_ptr<NamedMutex> CreateOwnedMutex(const std::wstring& name, uint32_t* lastError) {
  HANDLE handle = CreateMutexW(nullptr, TRUE, name.c_str());
  const DWORD error = GetLastError();
  if (lastError) *lastError = static_cast<uint32_t>(error);
  if (!handle) return nullptr;
  return std::unique_ptr<NamedMutex>(new Win32NamedMutex(handle));
}

// FindWindowW(class, NULL); ShowWindow(SW_SHOW) and SwitchToThisWindow
// bring the other copy's window forward.
bool FindVisibleInstance(const std::wstring& className, bool bringForward) {
  if (className.empty()) return false;
  HWND window = FindWindowW(className.c_str(), nullptr);
  if (!window) return false;
  if (bringForward) {
    ShowWindow(window, SW_SHOW);
    // SwitchToThisWindow is undocumented: looked up at run time.
    using SwitchToThisWindowFn = void(WINAPI*)(HWND, BOOL);
    if (HMODULE user32 = GetModuleHandleW(L"user32")) {
      auto fn = reinterpret_cast<SwitchToThisWindowFn>(
          reinterpret_cast<void*>(GetProcAddress(user32, "SwitchToThisWindow")));
      if (fn) fn(window, TRUE);
    }
  }
  return true;
}

// On Windows the main window's class itself is what FindWindowW finds, and
// it goes with the window.
void AdvertiseInstance(const std::wstring&) {}
void WithdrawInstance(const std::wstring&) {}

bool ComInitialize() { return SUCCEEDED(CoInitialize(nullptr)); }

void ComUninitialize() { CoUninitialize(); }

}  // namespace platform
