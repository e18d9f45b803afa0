// The transport set-up every libcurl handle of the installer gets right
// before curl_easy_perform: the protocols, the TLS trust and the proxy.
//
// Every request is restricted to HTTP and HTTPS, redirects included, and a
// request to an HTTPS address is never redirected to plain HTTP.
// Every HTTPS request verifies the server's certificate and host name against
// the system's store, with revocation checked where it can be (a revocation
// server out of reach does not fail the request); the local settings file
// may add a CA bundle or, for a test environment, switch the checks off
// (LocalSettings::CaBundle, LocalSettings::IsTlsVerifyOff).
//
// Every request goes through the proxy the system names for its URL
// (ProxyResolver), authenticated as ProxyRoute::AuthMethods says.
#pragma once

#include <curl/curl.h>

#include <string>

class HttpTransport {
 public:
  // A non-empty `proxy` (a URL or "host:port") replaces the system's
  // choice. Non-zero: the request must not be made. The choices go to the
  // installer's log, except for a kQuiet caller: the reporting SDK's
  // sender thread, which keeps its own log.
  enum class Log { kInstallerLog, kQuiet };
  static CURLcode Apply(CURL* handle, const std::string& url, const std::string& proxy = std::string(),
                        Log log = Log::kInstallerLog);
  // One value of a query or form, percent-encoded (curl_easy_escape): only
  // letters, digits and "-._~" stay, so that an "&" or "=" in it never
  // starts another field. Empty when libcurl fails.
  static std::string Escape(const std::string& value);
};
