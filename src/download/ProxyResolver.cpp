#include "download/ProxyResolver.h"

#include <curl/curl.h>
#include <easylogging++.h>

#include "platform/Proxy.h"

namespace {

constexpr std::chrono::minutes kKeepFor{5};

// One part of a parsed URL, decoded when asked; empty when absent.
std::string Part(CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, flags) != CURLUE_OK) return std::string();
  const std::string copy = text;
  curl_free(text);
  return copy;
}

struct Target {
  std::string scheme, host;
  int port = 0;
  std::string key() const { return scheme + "://" + host + ":" + std::to_string(port); }
};

bool ParseTarget(const std::string& text, Target* target) {
  CURLU* url = curl_url();
  const bool parsed = url && curl_url_set(url, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK;
  if (parsed) {
    target->scheme = Part(url, CURLUPART_SCHEME);
    target->host = Part(url, CURLUPART_HOST);
    target->port = std::atoi(Part(url, CURLUPART_PORT, CURLU_DEFAULT_PORT).c_str());
  }
  curl_url_cleanup(url);
  return parsed && !target->host.empty();
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
  CURLU* url = curl_url();
  if (url && curl_url_set(url, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK) {
    route.user = Part(url, CURLUPART_USER, CURLU_URLDECODE);
    route.password = Part(url, CURLUPART_PASSWORD, CURLU_URLDECODE);
    curl_url_set(url, CURLUPART_USER, nullptr, 0);
    curl_url_set(url, CURLUPART_PASSWORD, nullptr, 0);
    route.proxy = Part(url, CURLUPART_URL);
  }
  curl_url_cleanup(url);
  return route;
}

ProxyResolver& ProxyResolver::Shared() {
  static ProxyResolver* const shared = new ProxyResolver;
  return *shared;
}

ProxyRoute ProxyResolver::RouteFor(const std::string& url, bool quiet) {
  Target target;
  if (!ParseTarget(url, &target)) return ProxyRoute();
  const std::string key = target.key();
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
