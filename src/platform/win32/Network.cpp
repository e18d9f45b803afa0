// win32 backend of the network state and the tick count.
#include "platform/Network.h"

#include <windows.h>
#include <sensapi.h>

namespace platform {

bool SystemIsNetworkAlive() {
  DWORD flags = 0;
  return ::IsNetworkAlive(&flags) != FALSE;
}

uint32_t SystemTickCount() { return GetTickCount(); }

}  // namespace platform
