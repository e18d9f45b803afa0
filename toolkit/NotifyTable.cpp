#include "toolkit/NotifyTable.h"

#include "toolkit/Control.h"

namespace toolkit {

void NotifyTable::On(const std::string& control, const std::string& type, Handler handler) {
  handlers_[{control, type}] = std::move(handler);
}

bool NotifyTable::Dispatch(const Notification& notification) const {
  const std::string name = notification.sender ? notification.sender->name() : "";
  auto found = handlers_.find({name, notification.type});
  if (found == handlers_.end()) found = handlers_.find({"", notification.type});
  if (found == handlers_.end()) return false;
  found->second(notification);
  return true;
}

}  // namespace toolkit
