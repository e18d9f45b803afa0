#include "CNetworkCommunicate.h"

#include <curl/curl.h>

#include <chrono>

CNetworkCommunicate::~CNetworkCommunicate() { Stop(); }

void CNetworkCommunicate::EnsureRunning() {
  std::lock_guard<std::mutex> hold(lock_);
  if (stopped_ || thread_.joinable()) return;
  curl_global_init(CURL_GLOBAL_ALL);
  thread_ = std::thread(&CNetworkCommunicate::SenderThread, this);
  running_ = true;
}

void CNetworkCommunicate::Stop() {
  std::thread ending;
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopped_ = true;
    ending = std::move(thread_);
  }
  queue_.Stop();
  wake_.notify_all();
  if (ending.joinable()) ending.join();
  running_ = false;
}

void CNetworkCommunicate::SenderThread() {
  for (;;) {
    {
      std::unique_lock<std::mutex> hold(lock_);
      if (stopped_) return;
    }
    SendItem item;
    if (queue_.TakeFront(&item)) {
      queue_.DeliverItem(std::move(item));
      continue;
    }
    std::unique_lock<std::mutex> hold(lock_);
    wake_.wait_for(hold, std::chrono::milliseconds(idlePollMs_.load()), [this] { return stopped_; });
  }
}
