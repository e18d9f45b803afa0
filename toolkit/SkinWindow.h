// The base of the toolkit's windows: a parsed and arranged layout, its
// notification table, and a place in the message loop for posted messages
// and timers. User input arrives here from a backend (the Win32 window
// procedure, or the headless backend's scripted user) and leaves as
// notifications: "windowinit" once the layout is arranged, "click",
// "selectchanged", "itemselect", "link" and "timer". The keyboard model of a
// dialog lives here too: the focus, which Tab moves through the stops of
// FocusOrder, and what each key does to it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/FocusOrder.h"
#include "toolkit/Geometry.h"
#include "toolkit/KeyPress.h"
#include "toolkit/MessageLoop.h"
#include "toolkit/NotifyTable.h"
#include "toolkit/ResourceArchive.h"
#include "toolkit/WindowLayout.h"
#include "toolkit/WindowSpec.h"

namespace toolkit {

class SkinWindow {
 public:
  explicit SkinWindow(MessageLoop& loop);
  virtual ~SkinWindow();
  SkinWindow(const SkinWindow&) = delete;
  SkinWindow& operator=(const SkinWindow&) = delete;

  // Parses `file` from `folder` of the archive, arranges it at the layout's
  // size, joins the loop, creates the screen window (hidden), sends
  // "windowinit" and then logs text that overflows. False, with the reason logged,
  // for a layout that does not parse, a window the system refuses or a
  // second call.
  bool Create(const ResourceArchive& archive, const std::wstring& folder, const std::wstring& file,
              const WindowSpec& spec = WindowSpec());

  int handle() const { return handle_; }
  WindowLayout& layout() { return layout_; }
  NotifyTable& notify() { return notify_; }
  Control* Find(const std::string& name) { return layout_.root.Find(name); }

  const WindowSpec& spec() const { return spec_; }
  MessageLoop& loop() const { return loop_; }

  // Lays the controls out again at the window's size: after a control was
  // shown, hidden, added or removed, or the window resized.
  void Arrange();
  // The height that shows all of a multi-line plain text control's text: the
  // text wrapped at the width the control has when its tab pages are shown,
  // and the control's inset. The layout must have been arranged.
  int FittingHeight(Control* text);
  // Moves a vscrollbar layout's content up by `offset`, kept within its
  // ScrollLimit, and arranges again.
  void ScrollTo(Control* layout, int offset);
  void Show(bool visible);
  // Shows the window and runs a modal loop with its owner disabled; returns
  // the first code given to EndModal.
  int ShowModal();
  void EndModal(int code);
  Rect WindowRect() const;
  void MoveWindow(const Rect& rect);
  void Center();
  void Minimize();
  // Draws the window again after its controls changed.
  void Invalidate();
  void SetTaskbarProgress(int percent, TaskbarState state);
  // The user asked to close the window (the close box, Alt+F4). True when
  // the window handled it; false lets the backend close it.
  virtual bool OnClose() { return false; }
  // A close request on the loop's thread, as the backend delivers it: OnClose
  // decides, and a request it leaves unhandled hides the window.
  void Close();
  // Any thread: Close on the loop's thread. False when the window is gone.
  bool PostClose();
  // Destroys the screen window and leaves the loop: from then on nothing
  // finds or shows it and posts to it are refused. The object stays for
  // threads that still hold it.
  void Destroy();
  void SetIcon(int resourceId);
  // The backend's folder dialog over this window; false when cancelled.
  bool BrowseForFolder(std::wstring* folder);

  // Any thread: the window receives the message in OnMessage on the loop's thread.
  bool Post(unsigned message, intptr_t wparam = 0, intptr_t lparam = 0);
  void SetTimer(unsigned id, uint64_t intervalMs);
  bool KillTimer(unsigned id);

  // User input. Each is false when nothing was activated.
  bool ClickAt(Point point);
  bool ChooseItem(Control* combo, int index);
  bool FollowLink(Control* text, int link);

  // ---- the keyboard ----
  // The buttons that take the focus when their page shows and that Enter
  // presses where the focus is on nothing Enter acts on: of these, the first
  // that is a stop is the window's primary button.
  void SetPrimaryButtons(std::vector<Control*> buttons);
  // The stops of the focus order as the window shows now.
  std::vector<FocusTarget> FocusStops();
  // Where the keyboard is: kept while it is a stop (an option gives way to
  // the selected one of its group); else, and whenever another primary
  // button shows (another page), the primary button, or the first stop.
  // No control when the window has no stop.
  FocusTarget Focus();
  // The primary button that shows now; nullptr when none does.
  Control* PrimaryButton();
  // False, with the focus unchanged, when the target is no stop.
  bool FocusOn(FocusTarget target);
  // A key pressed while the window has the keyboard: Tab and Shift+Tab move
  // the focus, Space presses the focused button, check box or option,
  // Enter the focused button or link (on a combo nothing: a backend opens
  // its list) or else the primary button, Escape and Alt+F4 call OnCancel,
  // the arrows move within an option group, a combo's items or a scrolling
  // layout. False when the key did nothing.
  bool PressKey(KeyPress press);
  // What a click on the target does: a link followed, a button pressed, a
  // check box or option toggled; an edit or a scrolling layout only takes
  // the focus. The target takes the focus. False when nothing happened (a
  // combo, whose list a backend shows).
  bool Press(FocusTarget target);
  // Escape and Alt+F4: what the page's close button does; by default Close.
  virtual void OnCancel() { Close(); }
  // The window's name for people who follow it without seeing it (screen
  // readers): its title unless a window says better.
  virtual std::wstring AccessibleName() { return spec_.title; }

 protected:
  virtual void OnMessage(unsigned message, intptr_t wparam, intptr_t lparam);
  void Send(const std::string& type, Control* sender, int index = -1);

 private:
  bool Activate(Control* control);
  void Deliver(unsigned message, intptr_t wparam, intptr_t lparam);
  Size VisibleSize() const;
  bool MoveFocus(bool forward);
  bool MoveWithin(const FocusTarget& focus, Key key);
  bool ChooseNextItem(Control* combo, Key key);
  bool ScrollBy(Control* layout, Key key);
  void SetFocusTarget(const FocusTarget& target);

  // The message PostClose posts (WM_CLOSE's value); windows post their own
  // messages above it.
  static constexpr unsigned kCloseMessage = 0x0010;

  MessageLoop& loop_;
  WindowLayout layout_;
  NotifyTable notify_;
  WindowSpec spec_;
  int handle_ = 0;
  bool native_ = false;
  std::vector<Control*> primaryButtons_;
  FocusTarget focus_;
  std::string focusGroup_;      // the focused option's group: its control may have gone
  Control* primary_ = nullptr;  // the primary button when the focus was last asked for
};

}  // namespace toolkit
