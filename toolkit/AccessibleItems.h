// What a window shows, for people who follow it without seeing it: one item
// per control that shows (a press of the keyboard or a glance reaches it),
// with its role, its name in the texts the window shows, its states and its
// value, in reading order. The Win32 backend answers screen readers (MSAA)
// from these; tests read them headless.
//
// Names: a text's plain text (its markup dropped); a link's words; a
// button's caption; else, for a picture button, its tooltip; else the label
// next to it: the static text just after a check box or an option, just
// before any other control (the "Language" label above its combo).
#pragma once

#include <string>
#include <vector>

#include "toolkit/FocusOrder.h"
#include "toolkit/Geometry.h"

namespace toolkit {

class SkinWindow;

enum class AccessibleRole {
  kPushButton, kCheckButton, kRadioButton, kComboBox, kEditableText, kProgressBar, kStaticText, kLink, kScrollBar,
};

enum AccessibleState : unsigned {
  kAccFocused = 1,
  kAccFocusable = 2,
  kAccChecked = 4,
  kAccUnavailable = 8,  // disabled
  kAccDefault = 16,     // the primary button, which Enter presses
  kAccReadOnly = 32,
  kAccProtected = 64,   // a password
  kAccLinked = 128,
};

struct AccessibleItem {
  FocusTarget target;
  AccessibleRole role = AccessibleRole::kStaticText;
  std::wstring name, value;  // value: a bar's "42%", an edit's text, a combo's choice, a scroll position
  unsigned states = 0;       // AccessibleState flags
  Rect rect;                 // the part that shows, in window pixels
};

std::vector<AccessibleItem> AccessibleItems(SkinWindow& window);
// "push button", "check button", ... as screen readers name the roles.
const char* AccessibleRoleName(AccessibleRole role);

}  // namespace toolkit
