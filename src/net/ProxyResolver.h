// The one place that decides the proxy of a request: every libcurl handle
// of the installer asks it (HttpTransport::Apply). The system names
// the proxy (platform::SystemProxyFor); the answer is kept per scheme, host
// and port for a few minutes, since asking may take long (automatic proxy
// detection) and an installer talks to a handful of hosts many times.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <string>

struct ProxyRoute {
  std::string proxy;     // "scheme://host:port/" without credentials; empty: direct
  std::string user;      // the setting's user at the proxy; empty: none
  std::string password;

  // The schemes the proxy may ask for (libcurl's CURLAUTH_ bits; 0: none).
  // With a user in the setting: basic or NTLM as that user. Without one,
  // where the system lends the logged-on user (platform::ProxyLogonAvailable):
  // Negotiate or NTLM as that user. Either way more than one scheme is
  // allowed, so libcurl asks the proxy first and a proxy that wants no
  // authentication costs nothing.
  unsigned long AuthMethods() const;

  // Reads a proxy setting: a URL or "host:port" (then an HTTP proxy), with
  // optional "user:password@" whose percent-escapes are decoded. An
  // unreadable setting gives the direct route.
  static ProxyRoute Parse(const std::string& setting);
};

class ProxyResolver {
 public:
  // Never destroyed, as its quiet callers may outlive the exit handlers.
  static ProxyResolver& Shared();

  // The route for `url`; direct for a URL without a host. A new answer is
  // logged unless `quiet`.
  ProxyRoute RouteFor(const std::string& url, bool quiet = false);
  // Drops the kept answers, so that changed settings count at once.
  void Forget();

 private:
  struct Kept {
    ProxyRoute route;
    std::chrono::steady_clock::time_point until;
  };
  std::mutex lock_;
  std::map<std::string, Kept> kept_;  // by "scheme://host:port"
};
