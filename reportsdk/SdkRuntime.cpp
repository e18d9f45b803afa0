#include "SdkRuntime.h"

#include "CManagement.h"

// The program's shut-down stops the sender (StopSender) before the log and
// the objects it reaches end; the destructor stops it at the latest.
SdkRuntime& SdkRuntime::Get() {
  static SdkRuntime runtime;
  return runtime;
}

SdkRuntime::~SdkRuntime() { StopSender(); }

SdkRuntime::SdkRuntime()
    : queue_([this](const SendItem& item, int limitMs) { return Attempt(item, limitMs); }), sender_(queue_) {
  Configure(DeliveryConfig::BuiltIn(), SdkTiming());
}

void SdkRuntime::Configure(const DeliveryConfig& config, const SdkTiming& timing) {
  const CManagement& settings = CManagement::Get();
  auto client = std::make_shared<const CDeliveryClient>(config, settings.InstallerDir(), settings.IsTestEnv(),
                                                        &queue_.Stopping());
  {
    std::lock_guard<std::mutex> hold(clientLock_);
    client_ = std::move(client);
  }
  queue_.SetRetryPause(timing.retryPauseMs);
  sender_.SetIdlePoll(timing.idlePollMs);
  restPollMs_ = timing.restPollMs;
  restLimitMs_ = timing.restLimitMs;
}

DeliveryConfig SdkRuntime::Delivery() const {
  std::lock_guard<std::mutex> hold(clientLock_);
  return client_->Config();
}

// The client is copied out of the lock, so a delivery never holds it.
int SdkRuntime::Attempt(const SendItem& item, int limitMs) {
  std::shared_ptr<const CDeliveryClient> client;
  {
    std::lock_guard<std::mutex> hold(clientLock_);
    client = client_;
  }
  return client->Attempt(item, limitMs);
}
