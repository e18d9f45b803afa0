// Per-window timers ordered by due time. A timer repeats every interval; one
// that falls behind fires once and is rescheduled from now, as WM_TIMER does.
#pragma once

#include <cstdint>
#include <vector>

namespace toolkit {

struct DueTimer {
  int window = 0;
  unsigned id = 0;
};

class TimerQueue {
 public:
  // Sets or replaces the timer `id` of `window`.
  void Set(int window, unsigned id, uint64_t intervalMs, uint64_t nowMs);
  bool Kill(int window, unsigned id);
  void KillAll(int window);
  // The earliest due time; false when there are no timers.
  bool NextDue(uint64_t* dueMs) const;
  // Takes the earliest timer due at `nowMs` and reschedules it.
  bool PopDue(uint64_t nowMs, DueTimer* timer);

 private:
  struct Timer {
    int window;
    unsigned id;
    uint64_t interval, due, order;  // order breaks ties: the earlier set fires first
  };
  std::vector<Timer> timers_;
  uint64_t nextOrder_ = 0;
};

}  // namespace toolkit
