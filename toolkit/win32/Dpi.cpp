#include "toolkit/win32/Dpi.h"

#include <windows.h>

#include <cmath>

namespace toolkit {

void MakeProcessDpiAware() {
  // Windows 8.1 and later: per-monitor awareness from shcore; Vista: user32.
  // shcore is no KnownDLL: it is taken from System32 only, never from the
  // program's folder (a Windows without the flag has no shcore either).
  if (HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    using SetAwareness = HRESULT(WINAPI*)(int);
    const auto set = reinterpret_cast<SetAwareness>(
        reinterpret_cast<void*>(GetProcAddress(shcore, "SetProcessDpiAwareness")));
    const int kSystemDpiAware = 1;
    if (set && SUCCEEDED(set(kSystemDpiAware))) return;
  }
  using SetAware = BOOL(WINAPI*)();
  const auto set = reinterpret_cast<SetAware>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDPIAware")));
  if (set) set();
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

int DpiScale::ToScreen(int layout) const { return static_cast<int>(std::lround(layout * dpi_ / 96.0)); }

Rect DpiScale::ToScreen(const Rect& layout) const {
  return Rect{ToScreen(layout.left), ToScreen(layout.top), ToScreen(layout.right), ToScreen(layout.bottom)};
}

int DpiScale::ToLayout(int screen) const { return static_cast<int>(std::floor(screen * 96.0 / dpi_)); }

Rect DpiScale::ToLayout(const Rect& screen) const {
  return Rect{ToLayout(screen.left), ToLayout(screen.top), ToLayout(screen.right), ToLayout(screen.bottom)};
}

RECT ScreenRect(HWND hwnd, const DpiScale& scale, const Rect& layout) {
  const Rect screen = scale.ToScreen(layout);
  POINT origin{0, 0};
  if (hwnd) ClientToScreen(hwnd, &origin);
  return RECT{origin.x + screen.left, origin.y + screen.top, origin.x + screen.right, origin.y + screen.bottom};
}

}  // namespace toolkit
