// The process-wide machinery behind WebLog: the send queue with its queue
// file and repeat history, the delivery client and the sender thread. It is
// created on first use; destroying the WebLog object leaves it running. The
// program stops its sender thread when it shuts down.
#pragma once

#include <memory>
#include <mutex>

#include "CDeliveryClient.h"
#include "CNetworkCommunicate.h"
#include "CSendQueue.h"

// Pauses of the SDK; tests shorten them.
struct SdkTiming {
  int retryPauseMs = 2000;  // after each failed delivery attempt
  int idlePollMs = 500;     // the idle sender thread
  int restPollMs = 5000;    // the "-sendrestlogs" wait loop
  int restLimitMs = 120000;  // how long "-sendrestlogs" waits at most
};

class SdkRuntime {
 public:
  static SdkRuntime& Get();

  CSendQueue& Queue() { return queue_; }
  // Starts the sender thread once per process.
  void EnsureSenderRunning() { sender_.EnsureRunning(); }
  // Ends the sender thread for good (within about a second); undelivered
  // items stay in the queue and its file for the next run.
  void StopSender() { sender_.Stop(); }

  // Where to deliver and how long to pause; the built-in deployment
  // settings until a caller (a test or tool) replaces them.
  void Configure(const DeliveryConfig& config, const SdkTiming& timing);
  DeliveryConfig Delivery() const;
  int RestPollMs() const { return restPollMs_; }
  int RestLimitMs() const { return restLimitMs_; }

  ~SdkRuntime();
  SdkRuntime(const SdkRuntime&) = delete;
  SdkRuntime& operator=(const SdkRuntime&) = delete;

 private:
  SdkRuntime();
  int Attempt(const SendItem& item, int limitMs);

  mutable std::mutex clientLock_;
  std::shared_ptr<const CDeliveryClient> client_;
  std::atomic<int> restPollMs_{5000};
  std::atomic<int> restLimitMs_{120000};
  CSendQueue queue_;
  CNetworkCommunicate sender_;
};
