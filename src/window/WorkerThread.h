// One of the main window's worker threads, which start-up waits for with a
// time limit at the end of the run. A thread still running after the wait
// keeps whatever it reaches alive: its owner must not be destroyed then.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class WorkerThread {
 public:
  WorkerThread() = default;
  ~WorkerThread();  // joins
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Runs `body` on a new thread, after the previous one (which must be ending) is joined.
  void Start(std::function<void()> body);
  bool Started() const { return thread_.joinable(); }
  // True while the body of the last start has not returned.
  bool Running() const;
  // True, with the thread joined, when it has ended (or never started) within `ms`.
  bool Wait(uint64_t ms);

 private:
  std::thread thread_;
  mutable std::mutex lock_;
  std::condition_variable ended_;
  bool done_ = false;
};
