// A window's notification table: (control name, notification type) to a
// handler. An entry with an empty control name takes that type from any
// control that has no entry of its own.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "toolkit/Notification.h"

namespace toolkit {

class NotifyTable {
 public:
  using Handler = std::function<void(const Notification&)>;

  void On(const std::string& control, const std::string& type, Handler handler);
  // False when no entry takes the notification.
  bool Dispatch(const Notification& notification) const;

 private:
  std::map<std::pair<std::string, std::string>, Handler> handlers_;
};

}  // namespace toolkit
