#include "window/WorkerThread.h"

#include <chrono>

WorkerThread::~WorkerThread() {
  if (thread_.joinable()) thread_.join();
}

void WorkerThread::Start(std::function<void()> body) {
  if (thread_.joinable()) thread_.join();
  done_ = false;
  thread_ = std::thread([this, body = std::move(body)] {
    body();
    std::lock_guard<std::mutex> guard(lock_);
    done_ = true;
    ended_.notify_all();
  });
}

bool WorkerThread::Running() const {
  std::lock_guard<std::mutex> guard(lock_);
  return thread_.joinable() && !done_;
}

bool WorkerThread::Wait(uint64_t ms) {
  if (!thread_.joinable()) return true;
  {
    std::unique_lock<std::mutex> guard(lock_);
    if (!ended_.wait_for(guard, std::chrono::milliseconds(ms), [this] { return done_; })) return false;
  }
  thread_.join();
  return true;
}
