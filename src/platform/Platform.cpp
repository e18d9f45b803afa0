// The switchable system object of the platform layer. Each backend defines
// platform::RealSystem() itself (a function-local static of its class); this
// file holds only the pointer that tests swap with SetSystem().
#include "platform/Platform.h"

namespace platform {

namespace {
ISystem* g_replacement = nullptr;  // nullptr: the real backend
}  // namespace

ISystem& System() {
  ISystem* replacement = g_replacement;
  return replacement ? *replacement : RealSystem();
}

ISystem* SetSystem(ISystem* replacement) {
  ISystem* previous = g_replacement;
  g_replacement = replacement;
  return previous;
}

}  // namespace platform
