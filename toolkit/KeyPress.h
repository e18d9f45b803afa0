// A key the user pressed, as the portable model takes it from a backend:
// the Win32 window procedure maps virtual keys, the headless backend's
// scripted user names them ("Tab", "Shift+Tab", "Alt+F4").
#pragma once

#include <string>

namespace toolkit {

enum class Key { kTab, kEnter, kSpace, kEscape, kLeft, kRight, kUp, kDown, kHome, kEnd, kPageUp, kPageDown, kF4 };

enum KeyModifier : unsigned { kShift = 1, kAlt = 2, kControlKey = 4 };

struct KeyPress {
  Key key = Key::kTab;
  unsigned modifiers = 0;  // KeyModifier flags
};

// "Enter", "Shift+Tab", "Alt+F4": modifiers joined to the key by "+". False
// for a name the model has no key of.
bool ParseKeyPress(const std::string& name, KeyPress* press);

}  // namespace toolkit
