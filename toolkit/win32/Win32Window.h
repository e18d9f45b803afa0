// One skin window on the screen: its native window, the window procedure
// that draws it and turns the user's mouse and keys into the SkinWindow's
// input calls (WM_KEYDOWN and WM_SYSKEYDOWN into its keyboard model, Alt+F4
// and the system menu's close into OnCancel, WM_CLOSE into OnClose), its
// native EDIT children, its combo drop-down, and its face for screen
// readers: the IAccessible it answers WM_GETOBJECT with and the events it
// raises as it changes.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/AccessibleItems.h"
#include "toolkit/SkinWindow.h"
#include "toolkit/win32/AccessibleEvents.h"
#include "toolkit/win32/AccessibleObject.h"
#include "toolkit/win32/ComboDropDown.h"
#include "toolkit/win32/Dpi.h"
#include "toolkit/win32/Gdiplus.h"
#include "toolkit/win32/LayoutReport.h"
#include "toolkit/win32/Painter.h"

namespace toolkit {

class Win32Window : private AccessibleSource {
 public:
  // `keyboardCues` is shared by the windows of the program: the focus mark
  // shows once the keyboard was used, until the next mouse press; so is
  // `report`, which a build for tests writes after each drawing.
  Win32Window(SkinWindow& window, Painter& painter, TextPainter& text, const DpiScale& scale, bool& keyboardCues,
              LayoutReport& report);
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
  // Shown: a box tells screen readers that it asks something.
  void OnShown();
  // Something no control's text says, for screen readers.
  void Announce(const std::wstring& text);

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
  bool OnKey(WPARAM key, bool system);
  bool PressScrollBar(Point point);
  void FocusOn(const FocusTarget& target);
  bool OpenDropDown(Control* combo);
  void SyncEdits();
  void SyncEdit(Control* control, HWND edit);
  HWND CreateEdit(Control* control);
  static LRESULT CALLBACK EditProcedure(HWND edit, UINT message, WPARAM wparam, LPARAM lparam);
  // The native keyboard focus follows the model's: on the edit that is
  // focused, else on the window, while the window has the keyboard.
  void SyncKeyboardFocus();
  bool HasKeyboard() const;
  bool Alive(const std::shared_ptr<bool>& token) const { return *token; }

  // ---- screen readers ----
  LRESULT AnswerGetObject(WPARAM wparam, LPARAM lparam);
  void SyncAccessibility();
  long IdOf(const FocusTarget& target);
  AccessibleNode NodeOf(const AccessibleItem& item);
  std::wstring NameOf(const Control* control);
  bool ShownTarget(long id, FocusTarget* target);
  void DoDefaultActionNow(long id);
  // AccessibleSource
  AccessibleNode Self() override;
  std::vector<AccessibleNode> Children() override;
  bool Child(long id, AccessibleNode* node) override;
  long FocusedChild() override;
  void DoDefaultAction(long id) override;
  void TakeFocus(long id) override;
  HWND Window() override { return hwnd_; }

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

  PaintState state_;  // hot and pushed; the focus is the model's
  bool& keyboardCues_;
  LayoutReport& report_;
  bool tracking_ = false;  // TrackMouseEvent asked for WM_MOUSELEAVE
  std::vector<LinkBox> links_;
  TextHover pressedLink_;
  Drag drag_;
  std::map<Control*, HWND> edits_;
  std::map<HWND, HFONT> editFonts_;
  bool syncing_ = false;  // the edits are being set from the controls
  ComboDropDown dropDown_;

  AccessibleObject* accessible_ = nullptr;  // made when first asked for
  AccessibleEvents events_;
  std::map<std::pair<const Control*, int>, long> ids_;  // a child's id stays while the window lives
  std::map<long, AccessibleNode> known_;  // each child as last seen
  long nextId_ = 1;
  std::wstring announcement_;
};

}  // namespace toolkit
