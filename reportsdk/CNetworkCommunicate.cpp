#include "CNetworkCommunicate.h"

#include <curl/curl.h>

#include <chrono>
#include <thread>

void CNetworkCommunicate::EnsureRunning() {
  std::call_once(started_, [this] {
    curl_global_init(CURL_GLOBAL_ALL);
    std::thread(&CNetworkCommunicate::SenderThread, this).detach();
    running_ = true;
  });
}

void CNetworkCommunicate::SenderThread() {
  for (;;) {
    SendItem item;
    if (!queue_.TakeFront(&item)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(idlePollMs_));
      continue;
    }
    queue_.DeliverItem(std::move(item));
  }
}
