// win32 backend of the system proxy: the user's Internet settings as WinHTTP
// reads them. Automatic detection and a PAC script are asked per URL; when
// neither is set, or neither answers, the manual proxy and its bypass list
// serve.
//
// winhttp.dll is not a KnownDLL: it is loaded from the system folder only,
// never through the executable's folder (the user's Downloads folder).
#include <windows.h>
#include <winhttp.h>

#include "platform/Platform.h"
#include "platform/Proxy.h"

namespace platform {
namespace {

class WinHttp {
 public:
  static const WinHttp& Get() {
    static const WinHttp loaded;
    return loaded;
  }
  bool usable() const { return readSettings && open && proxyForUrl && close; }

  decltype(&::WinHttpGetIEProxyConfigForCurrentUser) readSettings = nullptr;
  decltype(&::WinHttpOpen) open = nullptr;
  decltype(&::WinHttpGetProxyForUrl) proxyForUrl = nullptr;
  decltype(&::WinHttpCloseHandle) close = nullptr;

 private:
  WinHttp() {
    HMODULE dll = LoadLibraryExW(L"winhttp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!dll) return;
    Bind(dll, "WinHttpGetIEProxyConfigForCurrentUser", &readSettings);
    Bind(dll, "WinHttpOpen", &open);
    Bind(dll, "WinHttpGetProxyForUrl", &proxyForUrl);
    Bind(dll, "WinHttpCloseHandle", &close);
  }
  template <typename Function>
  static void Bind(HMODULE dll, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
  }
};

// Takes a string WinHTTP allocated, and frees it.
std::string Take(LPWSTR text) {
  if (!text) return std::string();
  const std::string taken = WideToUtf8(text);
  GlobalFree(text);
  return taken;
}

struct ProxyLists {
  std::string proxies, bypass;
};

// Automatic detection and the PAC script for `url`; false when neither is
// set or neither gave an answer. An answer may be "direct" (empty proxies).
bool AskAutoProxy(const WinHttp& api, const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& settings,
                  const std::string& url, ProxyLists* lists) {
  WINHTTP_AUTOPROXY_OPTIONS options{};
  if (settings.fAutoDetect) {
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  }
  if (settings.lpszAutoConfigUrl) {
    options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = settings.lpszAutoConfigUrl;
  }
  if (options.dwFlags == 0) return false;
  options.fAutoLogonIfChallenged = TRUE;
  HINTERNET session = api.open(L"Setup", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0);
  if (!session) return false;
  WINHTTP_PROXY_INFO info{};
  const bool answered = api.proxyForUrl(session, Utf8ToWide(url).c_str(), &options, &info) != FALSE;
  api.close(session);
  lists->proxies = Take(info.lpszProxy);
  lists->bypass = Take(info.lpszProxyBypass);
  if (answered && info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY) lists->proxies.clear();
  return answered;
}

}  // namespace

bool ProxyLogonAvailable() { return true; }

std::string SystemProxyFor(const std::string& url, const std::string& scheme, const std::string& host, int port) {
  const WinHttp& api = WinHttp::Get();
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
  if (!api.usable() || !api.readSettings(&settings)) return std::string();
  ProxyLists lists;
  const bool automatic = AskAutoProxy(api, settings, url, &lists);
  ProxyLists manual{Take(settings.lpszProxy), Take(settings.lpszProxyBypass)};
  if (settings.lpszAutoConfigUrl) GlobalFree(settings.lpszAutoConfigUrl);
  if (!automatic) lists = manual;
  if (lists.proxies.empty() || WindowsBypassMatches(lists.bypass, host, port)) return std::string();
  return ProxyForScheme(lists.proxies, scheme);
}

}  // namespace platform
