// The switchable system object of the platform layer. Each backend defines
// platform::RealSystem() itself (a function-local static of its class); this
// file holds only the pointer that tests swap with SetSystem().
#include "platform/Platform.h"

#include <atomic>

namespace platform {

namespace {
// nullptr: the real backend. Atomic because threads that outlive a test
// (the SDK sender) read it while the test swaps it back.
std::atomic<ISystem*> g_replacement{nullptr};
}  // namespace

ISystem& System() {
  ISystem* replacement = g_replacement.load();
  return replacement ? *replacement : RealSystem();
}

ISystem* SetSystem(ISystem* replacement) {
  return g_replacement.exchange(replacement);
}

}  // namespace platform
