// The send queue of the reporting SDK: the repeat check, the queue file and
// the in-memory first-in first-out queue that the sender thread drains.
//
// Locks: the queue lock guards the in-memory queue and every change of the
// queue file; the repeat history has its own lock. The two are never held
// together, and no lock is held during an HTTP attempt.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "CQueueFile.h"
#include "CRepeatHistory.h"
#include "SendItem.h"

class CSendQueue {
 public:
  // One delivery attempt within `limitMs` (0: the client's own time
  // limits); a DeliveryResult.
  using Attempt = std::function<int(const SendItem&, int limitMs)>;

  static constexpr int kRepeatWindowSeconds = 60;
  static constexpr int kRepeatLimit = 10;
  static constexpr int kAttempts = 3;
  // How long a waiting call may hold its caller in all: the flow never
  // waits on the network for longer.
  static constexpr int kWaitBudgetMs = 2000;
  // Rounds refused for good after which an item is dropped.
  static constexpr int kRefusedRounds = 3;

  explicit CSendQueue(Attempt attempt);

  // Pause after every failed attempt (2000 ms; tests shorten it).
  void SetRetryPause(int milliseconds) { retryPauseMs_ = milliseconds; }
  // Ends a pause at once, and a round after its current attempt: what was
  // not delivered stays queued (and in the queue file). For good.
  void Stop();
  // True once Stop was called; a delivery in flight watches it.
  const std::atomic<bool>& Stopping() const { return stopping_; }

  // The queue file of the current main product id (set by Init).
  void SetQueueFile(const std::wstring& path);
  std::wstring QueueFilePath() const;

  // 0 queued (or delivered when waiting), -1 dropped as a repeat, -2 the
  // waited delivery did not succeed within kWaitBudgetMs and the item is
  // queued for the sender thread (one copy: asking again adds another).
  // Without `persist` the item is an entry of the queue file already.
  int QueueSendItem(const std::string& key, const std::string& content, bool persist, bool wait);
  // One round of up to three attempts, or with a `budgetMs` one attempt
  // within it and no pause, unless another process has the item's entry.
  // Delivered, its entry leaves the queue file; refused for good
  // kRefusedRounds times, it is dropped; otherwise it goes to the back of
  // the queue. True when the item is delivered, here or elsewhere.
  bool DeliverItem(SendItem item, int budgetMs = 0);
  // Re-queues the waiting entries of the queue file; returns how many of
  // them were pending and *counted the file's `send_count`.
  int ReadHistory(int* counted);

  // For the sender thread: takes the front item; false when empty. The item
  // counts as in flight until the matching DeliverItem has finished.
  bool TakeFront(SendItem* item);
  size_t Size() const;
  // Nothing queued and nothing in flight.
  bool Idle() const;

  CRepeatHistory& History() { return history_; }

 private:
  int Round(const SendItem& item);
  void Pause() const;

  Attempt attempt_;
  std::atomic<int> retryPauseMs_{2000};
  std::atomic<bool> stopping_{false};
  mutable std::mutex pauseLock_;
  mutable std::condition_variable pauseEnd_;
  CRepeatHistory history_;

  mutable std::mutex lock_;  // the queue lock
  std::deque<SendItem> queue_;
  std::shared_ptr<CQueueFile> file_;
  int inFlight_ = 0;
};
