// Reading URLs with libcurl's own parser (CURLU), so that what the installer
// decides about an address (its proxy, whether it is HTTPS, whether a link
// may be handed to the shell) is what libcurl will make of it.
#pragma once

#include <curl/curl.h>

#include <string>

namespace WebUrl {

// A URL as libcurl parses it; frees itself.
class Parsed {
 public:
  // `flags` are curl_url_set's (CURLU_URLENCODE, ...).
  explicit Parsed(const std::string& text, unsigned flags = 0);
  ~Parsed();
  Parsed(const Parsed&) = delete;
  Parsed& operator=(const Parsed&) = delete;

  bool ok() const { return ok_; }
  // One part (curl_url_get with `flags`); empty when absent.
  std::string Get(CURLUPart part, unsigned flags = 0) const;
  // Moves to `reference`, resolved against the URL held (false when it
  // cannot be read).
  bool Set(const std::string& reference);
  // Drops a part, so that the URL is emitted without it.
  void Clear(CURLUPart part);

 private:
  CURLU* url_;
  bool ok_ = false;
};

struct Parts {
  std::string scheme;  // lower case
  std::string host;
  int port = 0;        // the scheme's default when the URL names none
};

// False for a text libcurl does not take for a URL, or one without a host.
bool Parse(const std::string& url, Parts* parts);

// A reference (a Location: absolute, or relative to `base`) as an absolute
// URL; empty when either cannot be read.
std::string Resolve(const std::string& base, const std::string& reference);

// True when the URL names the https scheme (in any letter case).
bool IsHttps(const std::string& url);

// The form in which a link may reach the shell: an http or https URL with
// a host, without blanks, quotation marks or control characters, re-emitted
// by libcurl with every other character outside RFC 3986 percent-encoded
// (UTF-8). Empty when the link is refused.
std::string ForShell(const std::string& url);

}  // namespace WebUrl
