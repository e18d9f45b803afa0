#include "net/ProxyResolver.h"

#include "net/WebUrl.h"

#include <easylogging++.h>

#include "platform/Proxy.h"

namespace {

constexpr std::chrono::minutes kKeepFor{5};

std::string KeyOf(const WebUrl::Parts& target) {
  return target.scheme + "://" + target.host + ":" + std::to_string(target.port);
}

void LogRoute(const std::string& key, const ProxyRoute& route) {
  if (route.proxy.empty()) {
    LOG(INFO) << " Proxy for " << key << ": none";
  } else {
    LOG(INFO) << " Proxy for " << key << ": " << route.proxy
              << (route.user.empty() ? "" : " (authentication as the setting's user)");
  }
}

}  // namespace

unsigned long ProxyRoute::AuthMethods() const {
  if (proxy.empty()) return 0;
  if (!user.empty()) return CURLAUTH_BASIC | CURLAUTH_NTLM;
  return platform::ProxyLogonAvailable() ? CURLAUTH_NEGOTIATE | CURLAUTH_NTLM : 0;
}

ProxyRoute ProxyRoute::Parse(const std::string& setting) {
  ProxyRoute route;
  if (setting.empty()) return route;
  const std::string text = setting.find("://") == std::string::npos ? "http://" + setting : setting;
  WebUrl::Parsed url(text);
  if (url.ok()) {
    route.user = url.Get(CURLUPART_USER, CURLU_URLDECODE);
    route.password = url.Get(CURLUPART_PASSWORD, CURLU_URLDECODE);
    url.Clear(CURLUPART_USER);
    url.Clear(CURLUPART_PASSWORD);
    route.proxy = url.Get(CURLUPART_URL);
  }
  return route;
}

ProxyResolver& ProxyResolver::Shared() {
  static ProxyResolver shared;
  return shared;
}

ProxyRoute ProxyResolver::RouteFor(const std::string& url, bool quiet) {
  WebUrl::Parts target;
  if (!WebUrl::Parse(url, &target)) return ProxyRoute();
  const std::string key = KeyOf(target);
  const auto now = std::chrono::steady_clock::now();
  {
    std::lock_guard<std::mutex> guard(lock_);
    const auto found = kept_.find(key);
    if (found != kept_.end() && found->second.until > now) return found->second.route;
  }
  // Asked without the lock: automatic detection may take seconds, and other
  // hosts need not wait for it. Two threads may then ask for one host at once.
  const ProxyRoute route =
      ProxyRoute::Parse(platform::SystemProxyFor(url, target.scheme, target.host, target.port));
  std::lock_guard<std::mutex> guard(lock_);
  kept_[key] = Kept{route, now + kKeepFor};
  if (!quiet) LogRoute(key, route);
  return route;
}

void ProxyResolver::Forget() {
  std::lock_guard<std::mutex> guard(lock_);
  kept_.clear();
}
