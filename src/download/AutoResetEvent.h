// An auto-reset event: Set wakes one waiter, or the next one to wait, and a
// successful wait resets it. A Set before the wait is not lost.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class AutoResetEvent {
 public:
  // Notifies under the lock, so a waiter that returns and destroys the event
  // never races with a notification still in progress.
  void Set() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
    cv_.notify_one();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return signalled_; });
    signalled_ = false;
  }
  // True when signalled within `ms` milliseconds.
  bool WaitFor(uint32_t ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    bool signalled = cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return signalled_; });
    signalled_ = false;
    return signalled;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;
};
