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

namespace toolkit {

class SkinWindow {
 public:
  explicit SkinWindow(MessageLoop& loop);
  virtual ~SkinWindow();
  SkinWindow(const SkinWindow&) = delete;
  SkinWindow& operator=(const SkinWindow&) = delete;

  // Parses `file` from `folder` of the archive, arranges it at the layout's
  // size, logs text that overflows, joins the loop and sends "windowinit". False, with the parser's
  // error logged, for a layout that does not parse or a second call.
  bool Create(const ResourceArchive& archive, const std::wstring& folder, const std::wstring& file);

  int handle() const { return handle_; }
  WindowLayout& layout() { return layout_; }
  NotifyTable& notify() { return notify_; }
  Control* Find(const std::string& name) { return layout_.root.Find(name); }

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

  MessageLoop& loop_;
  WindowLayout layout_;
  NotifyTable notify_;
  int handle_ = 0;
};

}  // namespace toolkit
