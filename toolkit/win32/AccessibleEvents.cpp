#include "toolkit/win32/AccessibleEvents.h"

namespace toolkit {

namespace {

// The focus has an event of its own.
constexpr long kReportedStates = ~static_cast<long>(STATE_SYSTEM_FOCUSED);

void Raise(DWORD event, HWND hwnd, long child) { NotifyWinEvent(event, hwnd, OBJID_CLIENT, child); }

}  // namespace

void AccessibleEvents::Report(HWND hwnd, const AccessibleNode& self, const std::vector<AccessibleNode>& children,
                              long focused) {
  std::map<long, AccessibleNode> now;
  std::vector<long> order;
  for (const AccessibleNode& child : children) {
    now[child.id] = child;
    order.push_back(child.id);
  }
  if (started_ && IsWindowVisible(hwnd)) {
    if (self.name != name_) Raise(EVENT_OBJECT_NAMECHANGE, hwnd, CHILDID_SELF);
    for (const auto& [id, was] : children_)
      if (!now.count(id)) Raise(EVENT_OBJECT_HIDE, hwnd, id);
    for (const AccessibleNode& child : children) {
      const auto was = children_.find(child.id);
      if (was == children_.end()) {
        Raise(EVENT_OBJECT_SHOW, hwnd, child.id);
        continue;
      }
      if (child.name != was->second.name) Raise(EVENT_OBJECT_NAMECHANGE, hwnd, child.id);
      if (child.value != was->second.value) Raise(EVENT_OBJECT_VALUECHANGE, hwnd, child.id);
      if ((child.states & kReportedStates) != (was->second.states & kReportedStates))
        Raise(EVENT_OBJECT_STATECHANGE, hwnd, child.id);
    }
    std::vector<long> kept;
    for (long id : order_)
      if (now.count(id)) kept.push_back(id);
    std::vector<long> stayed;
    for (long id : order)
      if (children_.count(id)) stayed.push_back(id);
    if (kept != stayed) Raise(EVENT_OBJECT_REORDER, hwnd, CHILDID_SELF);
    if (focused >= 0 && focused != focused_) Raise(EVENT_OBJECT_FOCUS, hwnd, focused);
  }
  started_ = true;
  name_ = self.name;
  order_ = std::move(order);
  children_ = std::move(now);
  focused_ = focused;
}

}  // namespace toolkit
