#include "toolkit/MessageLoop.h"

#include <algorithm>
#include <limits>

namespace toolkit {

MessageLoop::MessageLoop(WindowBackend& backend, const Clock& clock)
    : backend_(backend), clock_(clock) {}

int MessageLoop::AddWindow(MessageHandler onMessage, TimerHandler onTimer) {
  const int window = nextWindow_++;
  windows_[window] = WindowEntry{std::move(onMessage), std::move(onTimer)};
  std::lock_guard<std::mutex> guard(postLock_);
  live_.insert(window);
  return window;
}

void MessageLoop::RemoveWindow(int window) {
  timers_.KillAll(window);
  windows_.erase(window);
  std::lock_guard<std::mutex> guard(postLock_);
  live_.erase(window);
  posted_.erase(std::remove_if(posted_.begin(), posted_.end(),
                               [window](const Posted& posted) { return posted.window == window; }),
                posted_.end());
}

bool MessageLoop::Post(int window, unsigned message, intptr_t wparam, intptr_t lparam) {
  {
    std::lock_guard<std::mutex> guard(postLock_);
    if (!live_.count(window)) return false;
    posted_.push_back({window, message, wparam, lparam});
  }
  backend_.Wake();
  return true;
}

void MessageLoop::Wake() { backend_.Wake(); }

void MessageLoop::SetTimer(int window, unsigned id, uint64_t intervalMs) {
  if (windows_.count(window)) timers_.Set(window, id, intervalMs, clock_.NowMs());
}

bool MessageLoop::KillTimer(int window, unsigned id) { return timers_.Kill(window, id); }

// One message at a time, so that a handler that runs a nested loop does not
// hold back older messages behind newer ones.
bool MessageLoop::TakePosted(Posted* posted) {
  std::lock_guard<std::mutex> guard(postLock_);
  if (posted_.empty()) return false;
  *posted = posted_.front();
  posted_.pop_front();
  return true;
}

bool MessageLoop::PumpOnce() {
  Posted posted;
  if (TakePosted(&posted)) {
    const auto found = windows_.find(posted.window);
    if (found != windows_.end() && found->second.onMessage) {
      found->second.onMessage(posted.message, posted.wparam, posted.lparam);
      backend_.Invalidate(posted.window);
    }
    return true;
  }
  DueTimer timer;
  if (!timers_.PopDue(clock_.NowMs(), &timer)) return false;
  const auto found = windows_.find(timer.window);
  if (found != windows_.end() && found->second.onTimer) {
    found->second.onTimer(timer.id);
    backend_.Invalidate(timer.window);
  }
  return true;
}

void MessageLoop::WaitForWork() {
  uint64_t due = 0;
  if (!timers_.NextDue(&due)) return backend_.Wait(-1);
  const uint64_t now = clock_.NowMs();
  const uint64_t wait = due > now ? due - now : 0;
  backend_.Wait(static_cast<int>(std::min<uint64_t>(wait, std::numeric_limits<int>::max())));
}

int MessageLoop::Run() {
  quit_ = false;
  while (!quit_)
    if (!PumpOnce()) WaitForWork();
  return quitCode_;
}

void MessageLoop::Quit(int code) {
  quit_ = true;
  quitCode_ = code;
  ++quits_;
}

int MessageLoop::RunModal(int window, int owner) {
  if (!windows_.count(window)) return 0;
  Disable(owner);
  backend_.SetWindowVisible(window, true);
  const unsigned quits = quits_;
  for (auto found = windows_.find(window); found != windows_.end() && !found->second.closed;
       found = windows_.find(window)) {
    if (quits_ != quits) {
      EndModal(window, 0);
      break;
    }
    if (!PumpOnce()) WaitForWork();
  }
  const auto found = windows_.find(window);
  const int code = found != windows_.end() ? found->second.closeCode : 0;
  Enable(owner);
  return code;
}

void MessageLoop::EndModal(int window, int code) {
  const auto found = windows_.find(window);
  if (found == windows_.end() || found->second.closed) return;  // the first code stays
  found->second.closed = true;
  found->second.closeCode = code;
  backend_.SetWindowVisible(window, false);
}

// A count, not a flag: a second box over the same owner must not enable it
// when it closes while the first is still up.
void MessageLoop::Disable(int window) {
  const auto found = windows_.find(window);
  if (found != windows_.end() && found->second.disableCount++ == 0)
    backend_.SetWindowEnabled(window, false);
}

void MessageLoop::Enable(int window) {
  const auto found = windows_.find(window);
  if (found != windows_.end() && found->second.disableCount > 0 &&
      --found->second.disableCount == 0)
    backend_.SetWindowEnabled(window, true);
}

}  // namespace toolkit
