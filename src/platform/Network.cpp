// The replaceable network probe and tick source.
#include "platform/Network.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<NetworkProbe> g_probe{nullptr};
std::atomic<TickSource> g_ticks{nullptr};
}  // namespace

bool IsNetworkAlive() {
  NetworkProbe probe = g_probe.load();
  return probe ? probe() : SystemIsNetworkAlive();
}

uint32_t TickCount() {
  TickSource source = g_ticks.load();
  return source ? source() : SystemTickCount();
}

void SetNetworkProbe(NetworkProbe probe) { g_probe = probe; }
void SetTickSource(TickSource source) { g_ticks = source; }

}  // namespace platform
