// A manual-reset event of this process: Set releases every waiter, now and
// later, until Reset. Being an object of the window, not a system-wide name,
// it cannot be set by another installer running beside this one.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class ManualResetEvent {
 public:
  void Set() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
    cv_.notify_all();
  }
  void Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
  }
  // True when the event is set within `ms` milliseconds.
  bool Wait(uint64_t ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return set_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool set_ = false;
};
