// posix backend of the network state and the tick count.
#include "platform/Network.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>
#include <time.h>

namespace platform {

// Any running interface with an IP address counts, loopback included: the
// test bed downloads from loopback peers.
bool SystemIsNetworkAlive() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool alive = false;
  for (ifaddrs* entry = list; entry && !alive; entry = entry->ifa_next) {
    bool hasIp = entry->ifa_addr &&
                 (entry->ifa_addr->sa_family == AF_INET || entry->ifa_addr->sa_family == AF_INET6);
    alive = hasIp && (entry->ifa_flags & IFF_UP) && (entry->ifa_flags & IFF_RUNNING);
  }
  freeifaddrs(list);
  return alive;
}

uint32_t SystemTickCount() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

int32_t DownloadUrlToFile(const std::wstring&, const std::wstring&) {
  constexpr uint32_t kNotImplemented = 0x80004001;  // E_NOTIMPL
  return static_cast<int32_t>(kNotImplemented);
}

}  // namespace platform
