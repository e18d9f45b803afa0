// posix backend of the system proxy: the environment, as curl and most
// command-line tools read it.
#include <cstdlib>

#include "platform/Proxy.h"

namespace platform {
namespace {

// The lower-case form wins, as with curl; the upper-case one serves when it is absent.
std::string Variable(const char* lower, const char* upper) {
  const char* value = std::getenv(lower);
  if (!value || !*value) value = std::getenv(upper);
  return value ? value : "";
}

}  // namespace

// No logon session to borrow: NTLM needs the user and password of the setting.
bool ProxyLogonAvailable() { return false; }

std::string SystemProxyFor(const std::string&, const std::string& scheme, const std::string& host, int port) {
  const std::string proxy =
      scheme == "https" ? Variable("https_proxy", "HTTPS_PROXY") : Variable("http_proxy", "HTTP_PROXY");
  if (proxy.empty() || NoProxyMatches(Variable("no_proxy", "NO_PROXY"), host, port)) return std::string();
  return proxy;
}

}  // namespace platform
