// The sender thread of the reporting SDK: one per process, started on first
// need and never stopped; it ends with the process.
#pragma once

#include <atomic>
#include <mutex>

#include "CSendQueue.h"

class CNetworkCommunicate {
 public:
  explicit CNetworkCommunicate(CSendQueue& queue) : queue_(queue) {}
  virtual ~CNetworkCommunicate() = default;

  // How long the idle thread sleeps before it looks again (500 ms).
  void SetIdlePoll(int milliseconds) { idlePollMs_ = milliseconds; }

  // Idempotent and thread-safe: the first call initialises libcurl and
  // starts the thread.
  void EnsureRunning();
  bool IsRunning() const { return running_; }

 private:
  // Takes the front item and delivers it, for ever.
  void SenderThread();

  CSendQueue& queue_;
  std::atomic<int> idlePollMs_{500};
  std::once_flag started_;
  std::atomic<bool> running_{false};
};
