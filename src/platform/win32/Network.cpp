// win32 backend of the network state and the tick count.
#include "platform/Network.h"

#include <windows.h>
#include <sensapi.h>
#include <urlmon.h>

namespace platform {

bool SystemIsNetworkAlive() {
  DWORD flags = 0;
  return ::IsNetworkAlive(&flags) != FALSE;
}

uint32_t SystemTickCount() { return GetTickCount(); }

int32_t DownloadUrlToFile(const std::wstring& url, const std::wstring& path) {
  return static_cast<int32_t>(URLDownloadToFileW(nullptr, url.c_str(), path.c_str(), 0, nullptr));
}

}  // namespace platform
