// The base of the toolkit's windows: a parsed and arranged layout, its
// notification table, and a place in the message loop for posted messages
// and timers. User input arrives here from a backend (the Win32 window
// procedure, or the headless backend's scripted user) and leaves as
// notifications: "windowinit" once the layout is arranged, "click",
// "selectchanged", "itemselect", "link" and "timer".
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/Geometry.h"
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
  void SetIcon(int resourceId);

  // Any thread: the window receives the message in OnMessage on the loop's thread.
  bool Post(unsigned message, intptr_t wparam = 0, intptr_t lparam = 0);
  void SetTimer(unsigned id, uint64_t intervalMs);
  bool KillTimer(unsigned id);

  // User input. Each is false when nothing was activated.
  bool ClickAt(Point point);
  bool ChooseItem(Control* combo, int index);
  bool FollowLink(Control* text, int link);

 protected:
  virtual void OnMessage(unsigned message, intptr_t wparam, intptr_t lparam);
  void Send(const std::string& type, Control* sender, int index = -1);

 private:
  bool Activate(Control* control);
  void Deliver(unsigned message, intptr_t wparam, intptr_t lparam);

  // The message PostClose posts (WM_CLOSE's value); windows post their own
  // messages above it.
  static constexpr unsigned kCloseMessage = 0x0010;

  MessageLoop& loop_;
  WindowLayout layout_;
  NotifyTable notify_;
  WindowSpec spec_;
  int handle_ = 0;
  bool native_ = false;
};

}  // namespace toolkit
