#include "net/WebUrl.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace WebUrl {

namespace {

bool RefusedForShell(unsigned char c) { return c <= 0x20 || c == 0x7f || c == '"'; }

// What RFC 3986 allows in a URL, the percent sign of an escape included.
bool AllowedInUrl(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         (c != 0 && std::strchr("-._~:/?#[]@!$&'()*+,;=%", c) != nullptr);
}

std::string PercentEncodeOthers(const std::string& text) {
  std::string encoded;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (AllowedInUrl(byte)) {
      encoded += c;
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", byte);
      encoded += escape;
    }
  }
  return encoded;
}

}  // namespace

Parsed::Parsed(const std::string& text, unsigned flags) : url_(curl_url()) {
  ok_ = url_ && curl_url_set(url_, CURLUPART_URL, text.c_str(), flags) == CURLUE_OK;
}

Parsed::~Parsed() { curl_url_cleanup(url_); }

std::string Parsed::Get(CURLUPart part, unsigned flags) const {
  char* text = nullptr;
  if (!ok_ || curl_url_get(url_, part, &text, flags) != CURLUE_OK) return std::string();
  const std::string copy = text;
  curl_free(text);
  return copy;
}

bool Parsed::Set(const std::string& reference) {
  return ok_ && curl_url_set(url_, CURLUPART_URL, reference.c_str(), 0) == CURLUE_OK;
}

void Parsed::Clear(CURLUPart part) {
  if (ok_) curl_url_set(url_, part, nullptr, 0);
}

bool Parse(const std::string& url, Parts* parts) {
  const Parsed parsed(url);
  if (!parsed.ok()) return false;
  parts->scheme = parsed.Get(CURLUPART_SCHEME);
  parts->host = parsed.Get(CURLUPART_HOST);
  parts->port = std::atoi(parsed.Get(CURLUPART_PORT, CURLU_DEFAULT_PORT).c_str());
  return !parts->host.empty();
}

std::string Resolve(const std::string& base, const std::string& reference) {
  Parsed url(base);
  if (reference.empty() || !url.Set(reference)) return std::string();
  return url.Get(CURLUPART_URL);
}

bool IsHttps(const std::string& url) {
  Parts parts;
  return Parse(url, &parts) && parts.scheme == "https";
}

std::string ForShell(const std::string& url) {
  for (const char c : url)
    if (RefusedForShell(static_cast<unsigned char>(c))) return std::string();
  // libcurl reads "https:///x" as the host "x"; a link that names no host
  // before its path is refused instead.
  const size_t slashes = url.find("://");
  if (slashes == std::string::npos || url.find_first_of("/\\", slashes + 3) == slashes + 3) return std::string();
  const Parsed parsed(url, CURLU_URLENCODE);
  const std::string scheme = parsed.Get(CURLUPART_SCHEME);
  if ((scheme != "https" && scheme != "http") || parsed.Get(CURLUPART_HOST).empty()) return std::string();
  return PercentEncodeOthers(parsed.Get(CURLUPART_URL));
}

}  // namespace WebUrl
