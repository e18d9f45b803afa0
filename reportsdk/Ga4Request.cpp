#include "Ga4Request.h"

#include <algorithm>
#include <cstring>

namespace Ga4Request {

std::string UrlEncode(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string encoded;
  for (unsigned char c : text) {
    const bool kept = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                      (c != 0 && std::strchr("!&'()*-.=_~", c) != nullptr);
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
