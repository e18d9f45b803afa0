// The Windows backend of the toolkit: real windows drawn with GDI+.
// Wait pumps the thread's Win32 messages while it waits for the portable
// loop's work, so that both interleave on the UI thread. Each skin window
// gets a native window of its WindowSpec's class and styles; its window
// procedure draws the control tree (double-buffered, scaled for the screen's
// DPI), turns mouse and keyboard input into SkinWindow::ClickAt, ChooseItem,
// FollowLink and PressKey, hosts native EDIT controls for Edit controls,
// drops down combo lists, scrolls scrolling layouts and answers screen
// readers (MSAA), to whom Announce speaks through a window's events.
#pragma once

#include <map>
#include <memory>

#include "toolkit/PictureCache.h"
#include "toolkit/WindowBackend.h"
#include "toolkit/win32/Dpi.h"
#include "toolkit/win32/Gdiplus.h"
#include "toolkit/win32/LayoutReport.h"
#include "toolkit/win32/Painter.h"
#include "toolkit/win32/TextPainter.h"

struct ITaskbarList3;

namespace toolkit {

class Win32Window;

class Win32Backend : public WindowBackend {
 public:
  // Pictures the layouts name are read from `archive`. Makes the process
  // DPI-aware and starts GDI+.
  explicit Win32Backend(const ResourceArchive& archive);
  ~Win32Backend() override;

  void SetWindowEnabled(int window, bool enabled) override;
  void SetWindowVisible(int window, bool visible) override;
  void Wait(int timeoutMs) override;
  void Wake() override;
  TextExtent MeasureText(const std::wstring& text, const FontSpec& font, const std::string& language) override;
  bool CreateNativeWindow(SkinWindow& window, const WindowSpec& spec) override;
  void DestroyNativeWindow(int window) override;
  Rect WindowRect(int window) override;
  void MoveWindow(int window, const Rect& rect) override;
  void CenterWindow(int window, int owner) override;
  void MinimizeWindow(int window) override;
  void Invalidate(int window) override;
  void SetTaskbarProgress(int window, int percent, TaskbarState state) override;
  void SetWindowIcon(int window, int resourceId) override;
  void Announce(int window, const std::wstring& text) override;
  PictureCache& Pictures() override { return pictures_; }
  // With GDI+, in the caption's face or its fallback, anti-aliased.
  void DrawCaption(Image& image, const Caption& caption) override;
  // SHBrowseForFolderW over the foreground window: file-system folders
  // only, with an edit box. Its own loop dispatches the native messages.
  bool BrowseForFolder(MessageLoop& loop, int owner, std::wstring* folder) override;

  Painter& painter() { return painter_; }
  const DpiScale& scale() const { return scale_; }
  // The native window of a loop handle; nullptr when it has none.
  HWND NativeHandle(int window) const;
  // Handles posted and sent Win32 messages until the queue is empty; true
  // when there was any.
  bool PumpNative();

 private:
  Win32Window* Find(int window) const;
  ITaskbarList3* Taskbar();

  GdiplusSession session_;  // first in, last out: the GDI+ objects below need it
  DpiScale scale_;
  PictureCache pictures_;
  TextPainter text_;
  Painter painter_;
  HANDLE wake_ = nullptr;
  bool comStarted_ = false;
  ITaskbarList3* taskbar_ = nullptr;
  bool taskbarTried_ = false;
  bool keyboardCues_ = false;  // the focus mark shows: the keyboard was used last
  LayoutReport layoutReport_;  // declared before windows_, which report to it until they go
  std::map<int, std::unique_ptr<Win32Window>> windows_;
};

}  // namespace toolkit
