#include "toolkit/TimerQueue.h"

#include <algorithm>

namespace toolkit {

void TimerQueue::Set(int window, unsigned id, uint64_t intervalMs, uint64_t nowMs) {
  Kill(window, id);
  // A zero interval would keep one pump firing the same timer for ever.
  const uint64_t interval = std::max<uint64_t>(intervalMs, 1);
  timers_.push_back({window, id, interval, nowMs + interval, nextOrder_++});
}

bool TimerQueue::Kill(int window, unsigned id) {
  const auto end = std::remove_if(timers_.begin(), timers_.end(), [&](const Timer& timer) {
    return timer.window == window && timer.id == id;
  });
  const bool found = end != timers_.end();
  timers_.erase(end, timers_.end());
  return found;
}

void TimerQueue::KillAll(int window) {
  timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                               [window](const Timer& timer) { return timer.window == window; }),
                timers_.end());
}

bool TimerQueue::NextDue(uint64_t* dueMs) const {
  if (timers_.empty()) return false;
  *dueMs = std::min_element(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) {
             return a.due < b.due;
           })->due;
  return true;
}

bool TimerQueue::PopDue(uint64_t nowMs, DueTimer* timer) {
  const auto first = std::min_element(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) {
    return a.due != b.due ? a.due < b.due : a.order < b.order;
  });
  if (first == timers_.end() || first->due > nowMs) return false;
  *timer = DueTimer{first->window, first->id};
  const uint64_t next = first->due + first->interval;
  first->due = next > nowMs ? next : nowMs + first->interval;
  first->order = nextOrder_++;
  return true;
}

}  // namespace toolkit
