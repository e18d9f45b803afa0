// The events screen readers follow a window by (NotifyWinEvent): each time
// the window is drawn again, what it shows now is held against what it
// showed the last time, and every difference raised: a child shown or
// hidden, a name, value or state changed, the children reordered, the focus
// moved. A hidden window raises nothing; it is followed again once shown.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "toolkit/win32/AccessibleObject.h"

namespace toolkit {

class AccessibleEvents {
 public:
  // `focused`: the focused child (or CHILDID_SELF) while the window has the
  // keyboard, else -1.
  void Report(HWND hwnd, const AccessibleNode& self, const std::vector<AccessibleNode>& children, long focused);

 private:
  bool started_ = false;
  std::wstring name_;
  std::vector<long> order_;
  std::map<long, AccessibleNode> children_;
  long focused_ = -1;
};

}  // namespace toolkit
