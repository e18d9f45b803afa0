// One skin window on the screen: its native window, the window procedure
// that draws it and turns the user's mouse and keys into the SkinWindow's
// input calls, its native EDIT children and its combo drop-down.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "toolkit/SkinWindow.h"
#include "toolkit/win32/ComboDropDown.h"
#include "toolkit/win32/Dpi.h"
#include "toolkit/win32/Gdiplus.h"
#include "toolkit/win32/Painter.h"

namespace toolkit {

class Win32Window {
 public:
  Win32Window(SkinWindow& window, Painter& painter, TextPainter& text, const DpiScale& scale);
  ~Win32Window();
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // Registers the window's class once and creates the window, hidden.
  bool Create(const WindowSpec& spec, HWND owner);
  HWND hwnd() const { return hwnd_; }
  // The controls changed: the edits follow them and the window is drawn again.
  void Redraw();
  // A key the message pump took from an EDIT child before it could eat it.
  bool HandleDialogKey(const MSG& message);

 private:
  struct Drag {
    Control* layout = nullptr;
    int startY = 0, startScroll = 0;
  };

  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Paint();
  void Render(int width, int height);
  void UpdateLayered();
  void ApplyRegion();
  LRESULT HitTestFrame(LPARAM lparam);
  Point LayoutPoint(LPARAM lparam) const;
  const LinkBox* LinkAt(Point point) const;
  Control* ScrollLayoutAt(Control* control, Point point) const;
  void OnMouseMove(Point point);
  void OnButtonDown(Point point);
  void OnButtonUp(Point point);
  void OnWheel(int delta, Point point);
  bool OnKey(WPARAM key);
  bool PressScrollBar(Point point);
  void ScrollTo(Control* layout, int offset);
  void MoveFocus(bool forward);
  void SetFocusControl(Control* control, bool cue);
  void Activate(Control* control);
  void SyncEdits();
  void SyncEdit(Control* control, HWND edit);
  HWND CreateEdit(Control* control);
  bool Alive(const std::shared_ptr<bool>& token) const { return *token; }

  SkinWindow& window_;
  Painter& painter_;
  TextPainter& text_;
  const DpiScale& scale_;
  HWND hwnd_ = nullptr;
  bool layered_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // false once this object is gone

  // The back buffer: a 32-bit top-down DIB the painter draws into.
  HDC bufferDc_ = nullptr;
  HBITMAP buffer_ = nullptr;
  HGDIOBJ oldBuffer_ = nullptr;
  void* bits_ = nullptr;
  int bufferWidth_ = 0, bufferHeight_ = 0;

  PaintState state_;
  bool focusCue_ = false;
  bool tracking_ = false;  // TrackMouseEvent asked for WM_MOUSELEAVE
  std::vector<LinkBox> links_;
  TextHover pressedLink_;
  Drag drag_;
  std::map<Control*, HWND> edits_;
  std::map<HWND, HFONT> editFonts_;
  bool syncing_ = false;  // the edits are being set from the controls
  ComboDropDown dropDown_;
};

}  // namespace toolkit
