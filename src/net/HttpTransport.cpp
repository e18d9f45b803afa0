#include "net/HttpTransport.h"

#include <easylogging++.h>

#include <mutex>

#include "net/ProxyResolver.h"
#include "net/WebUrl.h"
#include "platform/Platform.h"
#include "settings/LocalSettings.h"

namespace {

// ---- TLS ---------------------------------------------------------------------

struct TlsSettings {
  bool verify = true;
  std::string caBundle;  // UTF-8 path; empty: the system store only
  bool operator==(const TlsSettings& o) const { return verify == o.verify && caBundle == o.caBundle; }
};

// The settings file's TLS choices; a change against the last request's
// choices is logged (unless `quiet`), so each run's log states what was in
// force.
TlsSettings CurrentTls(bool quiet) {
  TlsSettings tls;
  tls.verify = !LocalSettings::IsTlsVerifyOff();
  tls.caBundle = platform::WideToUtf8(LocalSettings::CaBundle());
  static std::mutex lock;
  static TlsSettings logged;
  std::lock_guard<std::mutex> guard(lock);
  if (quiet || tls == logged) return tls;
  logged = tls;
  if (!tls.verify) {
    LOG(INFO) << " [Warning]: TLS certificate and host checks are off (TlsVerify=0 in the settings file)";
  } else {
    LOG(INFO) << " TLS checks on, extra CA bundle: " << (tls.caBundle.empty() ? "none" : tls.caBundle);
  }
  return tls;
}

// Peer and host are verified unless the settings file switched that off.
// A non-zero result means the request must not be made.
CURLcode ApplyTrust(CURL* handle, bool quiet) {
  const TlsSettings tls = CurrentTls(quiet);
  if (!tls.verify) {
    const CURLcode result = curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 0L);
    return result;
  }
  CURLcode result = curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  if (result == CURLE_OK) result = curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  // Schannel's revocation check fails hard when no CRL or OCSP server can be
  // reached (common behind TLS-inspecting proxies), and every request with
  // it; a certificate that is known revoked still fails. OpenSSL ignores it.
  if (result == CURLE_OK)
    result = curl_easy_setopt(handle, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
  if (result == CURLE_OK && !tls.caBundle.empty()) {
    result = curl_easy_setopt(handle, CURLOPT_CAINFO, tls.caBundle.c_str());
  }
  return result;
}

// ---- protocols -------------------------------------------------------------

// No other scheme may be asked for, nor reached through a redirect: an
// address from a server never opens a local file or another protocol. A
// redirect never leaves HTTPS, so that nobody on the way can move a request
// to plain HTTP.
CURLcode RestrictProtocols(CURL* handle, const std::string& url) {
  CURLcode result = curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  if (result == CURLE_OK)
    result = curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, WebUrl::IsHttps(url) ? "https" : "http,https");
  return result;
}

// ---- proxy -------------------------------------------------------------------

// The route's proxy, or none. libcurl's own reading of the environment is
// off either way (an empty proxy and an empty no-proxy list are set, not
// left out), so that the resolver's answer is the only one. The proxy's
// answer to a tunnel request never reaches the header callbacks: they
// judge the server's answers alone. The credentials are set or cleared on
// every call: a hop of a redirect must not keep the last hop's.
CURLcode ApplyProxy(CURL* handle, const ProxyRoute& route) {
  CURLcode result = curl_easy_setopt(handle, CURLOPT_PROXY, route.proxy.c_str());
  if (result == CURLE_OK) result = curl_easy_setopt(handle, CURLOPT_NOPROXY, "");
  if (result == CURLE_OK) result = curl_easy_setopt(handle, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(handle, CURLOPT_PROXYUSERPWD, nullptr);
  const unsigned long methods = route.AuthMethods();
  if (result != CURLE_OK || methods == 0) return result;
  curl_easy_setopt(handle, CURLOPT_PROXYAUTH, methods);
  // ":" lends the logged-on user's credentials to Negotiate and NTLM (SSPI).
  if (route.user.empty()) return curl_easy_setopt(handle, CURLOPT_PROXYUSERPWD, ":");
  curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, route.user.c_str());
  return curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, route.password.c_str());
}

}  // namespace

std::string HttpTransport::Escape(const std::string& value) {
  char* escaped = curl_easy_escape(nullptr, value.data(), static_cast<int>(value.size()));
  if (!escaped) return std::string();
  const std::string result = escaped;
  curl_free(escaped);
  return result;
}

CURLcode HttpTransport::Apply(CURL* handle, const std::string& url, const std::string& proxy, Log log) {
  const bool quiet = log == Log::kQuiet;
  CURLcode result = RestrictProtocols(handle, url);
  if (result == CURLE_OK) result = ApplyTrust(handle, quiet);
  if (result != CURLE_OK) return result;
  return ApplyProxy(handle, proxy.empty() ? ProxyResolver::Shared().RouteFor(url, quiet) : ProxyRoute::Parse(proxy));
}

