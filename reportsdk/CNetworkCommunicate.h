// The sender thread of the reporting SDK: one per process, started on first
// need and stopped by its owner's Stop (at the latest when it is destroyed).
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "CSendQueue.h"

class CNetworkCommunicate {
 public:
  explicit CNetworkCommunicate(CSendQueue& queue) : queue_(queue) {}
  virtual ~CNetworkCommunicate();  // stops the thread

  // How long the idle thread sleeps before it looks again (500 ms).
  void SetIdlePoll(int milliseconds) { idlePollMs_ = milliseconds; }

  // Idempotent and thread-safe: the first call initialises libcurl and
  // starts the thread; after Stop it starts nothing.
  void EnsureRunning();
  bool IsRunning() const { return running_; }
  // Stops the queue's pauses and rounds (a request in flight ends within a
  // second: the delivery client watches the queue's stop) and joins the
  // thread. Undelivered items stay queued. Idempotent.
  void Stop();

 private:
  // Takes the front item and delivers it until stopped.
  void SenderThread();

  CSendQueue& queue_;
  std::atomic<int> idlePollMs_{500};
  std::mutex lock_;
  std::condition_variable wake_;
  bool stopped_ = false;
  std::thread thread_;
  std::atomic<bool> running_{false};
};
