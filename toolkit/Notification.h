// A notification a control sends to its window: "windowinit", "click",
// "selectchanged", "itemselect", "link", "timer", "headerclick".
#pragma once

#include <string>

namespace toolkit {

class Control;

struct Notification {
  std::string type;
  Control* sender = nullptr;  // nullptr for "windowinit"
  int index = -1;             // the link of "link", the item of "itemselect", the id of "timer"
};

}  // namespace toolkit
