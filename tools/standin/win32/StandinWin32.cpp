// Windows side of the installer stand-in: the raw command line and the demo
// product's window (plain Win32).
#include <windows.h>

#include "tools/standin/Standin.h"

namespace standin {

namespace {

constexpr UINT_PTR kCloseTimer = 1;

LRESULT CALLBACK ProductWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      wchar_t text[256];
      GetWindowTextW(window, text, 256);  // the window shows its title
      DrawTextW(dc, text, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kCloseTimer) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

std::wstring RawCommandLine(int, char**) { return GetCommandLineW(); }

void ShowProductRunning(const std::wstring& text, int seconds) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = ProductWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = L"QuenloDemoProduct";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(windowClass.lpszClassName, text.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              CW_USEDEFAULT, CW_USEDEFAULT, 420, 160, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
  if (!window) return;
  if (seconds >= 0) SetTimer(window, kCloseTimer, static_cast<UINT>(seconds) * 1000, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace standin
