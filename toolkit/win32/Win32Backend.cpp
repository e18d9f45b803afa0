#include "toolkit/win32/Win32Backend.h"

#include <shlobj.h>
#include <shobjidl.h>

#include <utility>

#include "toolkit/SkinWindow.h"
#include "toolkit/win32/GdiplusDecoder.h"
#include "toolkit/win32/Win32Window.h"

namespace toolkit {

namespace {

int ScreenDpiOnceAware() {
  MakeProcessDpiAware();
  return ScreenDpi();
}

}  // namespace

Win32Backend::Win32Backend(const ResourceArchive& archive)
    : scale_(ScreenDpiOnceAware()),
      pictures_(archive),
      painter_(pictures_, text_),
      wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  pictures_.SetDecoder(std::make_unique<GdiplusDecoder>());
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  comStarted_ = SUCCEEDED(com);  // S_FALSE too: each success needs its CoUninitialize
}

Win32Backend::~Win32Backend() {
  windows_.clear();
  if (taskbar_) taskbar_->Release();
  if (comStarted_) CoUninitialize();
  if (wake_) CloseHandle(wake_);
}

Win32Window* Win32Backend::Find(int window) const {
  const auto found = windows_.find(window);
  return found != windows_.end() && found->second->hwnd() ? found->second.get() : nullptr;
}

HWND Win32Backend::NativeHandle(int window) const {
  const Win32Window* native = Find(window);
  return native ? native->hwnd() : nullptr;
}

// A box hides while its owner is still disabled, so nothing is left active:
// the owner it gives back takes the keyboard again, as a dialog's owner does.
void Win32Backend::SetWindowEnabled(int window, bool enabled) {
  HWND hwnd = NativeHandle(window);
  if (!hwnd) return;
  EnableWindow(hwnd, enabled);
  const HWND active = GetActiveWindow();
  if (enabled && IsWindowVisible(hwnd) && (!active || !IsWindowVisible(active))) SetForegroundWindow(hwnd);
}

void Win32Backend::SetWindowVisible(int window, bool visible) {
  HWND hwnd = NativeHandle(window);
  if (!hwnd) return;
  ShowWindow(hwnd, visible ? SW_SHOW : SW_HIDE);
  if (!visible) return;
  Find(window)->Redraw();
  Find(window)->OnShown();
}

void Win32Backend::Announce(int window, const std::wstring& text) {
  if (Win32Window* native = Find(window)) native->Announce(text);
}

bool Win32Backend::PumpNative() {
  bool any = false;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    any = true;
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));  // left for an outer loop that ends on it
      break;
    }
    HWND parent = message.hwnd ? GetParent(message.hwnd) : nullptr;
    const bool dialogKey = std::any_of(windows_.begin(), windows_.end(), [&](const auto& entry) {
      return parent && entry.second->hwnd() == parent && entry.second->HandleDialogKey(message);
    });
    if (dialogKey) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return any;
}

// The portable loop's work and the window messages both end the wait.
void Win32Backend::Wait(int timeoutMs) {
  if (PumpNative()) return;
  MsgWaitForMultipleObjectsEx(1, &wake_, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs), QS_ALLINPUT,
                              MWMO_INPUTAVAILABLE);
  PumpNative();
}

void Win32Backend::Wake() { SetEvent(wake_); }

TextExtent Win32Backend::MeasureText(const std::wstring& text, const FontSpec& font, const std::string& language) {
  return text_.Measure(text, font, language, scale_.factor());
}

bool Win32Backend::CreateNativeWindow(SkinWindow& window, const WindowSpec& spec) {
  auto native = std::make_unique<Win32Window>(window, painter_, text_, scale_, keyboardCues_, layoutReport_);
  if (!native->Create(spec, NativeHandle(spec.owner))) return false;
  windows_[window.handle()] = std::move(native);
  return true;
}

void Win32Backend::DestroyNativeWindow(int window) { windows_.erase(window); }

Rect Win32Backend::WindowRect(int window) {
  HWND hwnd = NativeHandle(window);
  RECT frame{};
  if (hwnd) GetWindowRect(hwnd, &frame);
  return scale_.ToLayout(Rect{frame.left, frame.top, frame.right, frame.bottom});
}

void Win32Backend::MoveWindow(int window, const Rect& rect) {
  if (HWND hwnd = NativeHandle(window)) {
    const Rect screen = scale_.ToScreen(rect);
    ::MoveWindow(hwnd, screen.left, screen.top, screen.Width(), screen.Height(), TRUE);
  }
}

void Win32Backend::CenterWindow(int window, int owner) {
  HWND hwnd = NativeHandle(window), around = NativeHandle(owner);
  if (!hwnd) return;
  RECT frame, area;
  GetWindowRect(hwnd, &frame);
  if (!around || !IsWindowVisible(around) || IsIconic(around) || !GetWindowRect(around, &area))
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  SetWindowPos(hwnd, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Backend::MinimizeWindow(int window) {
  if (HWND hwnd = NativeHandle(window)) ShowWindow(hwnd, SW_MINIMIZE);
}

namespace {

// The system's icon size, rounded up to a multiple of 16.
int IconSide(int metric) { return (GetSystemMetrics(metric) + 15) / 16 * 16; }

}  // namespace

void Win32Backend::SetWindowIcon(int window, int resourceId) {
  HWND hwnd = NativeHandle(window);
  if (!hwnd) return;
  const HINSTANCE module = GetModuleHandleW(nullptr);
  for (const auto& [which, metric] : {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
    const int side = IconSide(metric);
    HANDLE icon = LoadImageW(module, MAKEINTRESOURCEW(resourceId), IMAGE_ICON, side, side, LR_SHARED);
    if (icon) SendMessageW(hwnd, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
  }
}

void Win32Backend::Invalidate(int window) {
  if (Win32Window* native = Find(window)) native->Redraw();
}

// Created on first use; a system without the taskbar object shows no progress.
ITaskbarList3* Win32Backend::Taskbar() {
  if (taskbarTried_) return taskbar_;
  taskbarTried_ = true;
  if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_ALL, IID_ITaskbarList3,
                              reinterpret_cast<void**>(&taskbar_))))
    taskbar_ = nullptr;
  if (taskbar_ && FAILED(taskbar_->HrInit())) {
    taskbar_->Release();
    taskbar_ = nullptr;
  }
  return taskbar_;
}

void Win32Backend::SetTaskbarProgress(int window, int percent, TaskbarState state) {
  HWND hwnd = NativeHandle(window);
  ITaskbarList3* taskbar = hwnd ? Taskbar() : nullptr;
  if (!taskbar) return;
  if (state == TaskbarState::kNoProgress) {
    taskbar->SetProgressState(hwnd, TBPF_NOPROGRESS);
    return;
  }
  taskbar->SetProgressValue(hwnd, static_cast<ULONGLONG>(percent), 100);
  taskbar->SetProgressState(hwnd, state == TaskbarState::kError ? TBPF_ERROR : TBPF_NORMAL);
}

void Win32Backend::DrawCaption(Image& image, const Caption& caption) {
  std::unique_ptr<Gdiplus::Bitmap> bitmap = BitmapOfImage(image, Rect{0, 0, image.width, image.height});
  if (!bitmap) return;
  {
    Gdiplus::Graphics graphics(bitmap.get());
    PrepareGraphics(graphics, 1.0f);
    const TextPainter::PlainStyle style{caption.align, true, false, caption.language, caption.rightToLeft};
    text_.DrawPlain(graphics, caption.text, caption.font, caption.color, ToRectF(caption.box), style);
  }
  ImageOfBitmap(*bitmap, &image);
}

// BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE; no root, no title.
bool Win32Backend::BrowseForFolder(MessageLoop&, int, std::wstring* folder) {
  BROWSEINFOW info = {};
  info.hwndOwner = GetForegroundWindow();
  info.ulFlags = 0x51;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (!chosen) return false;
  wchar_t path[MAX_PATH] = L"";
  const bool converted = SHGetPathFromIDListW(chosen, path) != FALSE;
  CoTaskMemFree(chosen);
  if (converted) *folder = path;
  return converted;
}

}  // namespace toolkit
