#include "Ga4Request.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace Ga4Request {

namespace {

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::string UrlEncode(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string encoded;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool escape = c == '%' && i + 2 < text.size() && IsHexDigit(text[i + 1]) && IsHexDigit(text[i + 2]);
    const bool kept = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                      (c != 0 && std::strchr("!&'()*-.=_~", c) != nullptr) || escape;
    if (kept) {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 15];
    }
  }
  return encoded;
}

std::string ParamValue(const std::string& params, const std::string& name) {
  const std::string marker = "&" + name + "=";
  const size_t start = params.find(marker);
  if (start == std::string::npos) return "";
  const size_t from = start + marker.size();
  const size_t end = params.find('&', from);
  return params.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

std::string RepeatKey(const std::string& ts, const std::string& encodedParams) {
  return "1::" + ts + "::" + ParamValue(encodedParams, "ep.ov_category") + "::" +
         ParamValue(encodedParams, "ep.ov_action");
}

std::string ClientId(const std::string& volumeSerial, const std::string& mac) {
  std::string compact = mac;
  compact.erase(std::remove(compact.begin(), compact.end(), ':'), compact.end());
  return volumeSerial + compact;
}

std::string Url(const std::string& endpoint, const std::string& clientId,
                const std::string& encodedParams) {
  return endpoint + "/g/collect?v=2&cid=" + clientId + encodedParams;
}

}  // namespace Ga4Request
