// A user for the headless backend: tests (and the Linux demo) press controls
// by name or at a point, pick combo items and follow links. A press by name
// lands at the centre of the control's rectangle and goes through hit-testing,
// so what covers the control, or hides or disables it, decides as on a screen.
#pragma once

#include <string>

#include "toolkit/Geometry.h"
#include "toolkit/SkinWindow.h"

namespace toolkit {

class ScriptedUser {
 public:
  explicit ScriptedUser(SkinWindow& window);

  // Each is false, with a logged reason, when the action reached nothing.
  bool Click(const std::string& control);
  bool ClickAt(Point point);
  bool ChooseItem(const std::string& combo, int index);
  bool FollowLink(const std::string& text, int link);

 private:
  bool Refuse(const std::string& action, const std::string& control);

  SkinWindow& window_;
};

}  // namespace toolkit
