// The bypass lists and the proxy lists of the proxy backends.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "platform/Proxy.h"
#include "base/AsciiText.h"

namespace platform {
namespace {

std::vector<std::string> Entries(const std::string& list, const char* separators) {
  std::vector<std::string> entries;
  size_t at = 0;
  while ((at = list.find_first_not_of(separators, at)) != std::string::npos) {
    const size_t end = list.find_first_of(separators, at);
    entries.push_back(list.substr(at, end == std::string::npos ? end : end - at));
    at = end;
  }
  return entries;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// '*' matches any run of characters, every other character itself.
bool WildcardMatches(const char* pattern, const char* text) {
  if (*pattern == '\0') return *text == '\0';
  if (*pattern == '*') return WildcardMatches(pattern + 1, text) || (*text && WildcardMatches(pattern, text + 1));
  return *pattern == *text && WildcardMatches(pattern + 1, text + 1);
}

// An entry's ":port" when it has exactly one ':' followed by digits only
// (an IPv6 address has several); 0 otherwise, and then `entry` stays whole.
int SplitPort(std::string& entry) {
  const size_t colon = entry.find(':');
  if (colon == std::string::npos || entry.find(':', colon + 1) != std::string::npos) return 0;
  const std::string digits = entry.substr(colon + 1);
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(c); })) return 0;
  entry.resize(colon);
  return std::stoi(digits);
}

}  // namespace

bool NoProxyMatches(const std::string& list, const std::string& host, int port) {
  const std::string name = AsciiLower(host);
  for (std::string entry : Entries(AsciiLower(list), ", \t")) {
    if (entry == "*") return true;
    const int entryPort = SplitPort(entry);
    if (entryPort != 0 && entryPort != port) continue;
    if (!entry.empty() && entry.front() == '.') entry.erase(0, 1);
    if (!entry.empty() && (name == entry || EndsWith(name, "." + entry))) return true;
  }
  return false;
}

bool WindowsBypassMatches(const std::string& list, const std::string& host, int port) {
  const std::string name = AsciiLower(host);
  const std::string nameAndPort = name + ":" + std::to_string(port);
  for (std::string entry : Entries(AsciiLower(list), ";, \t\r\n")) {
    const size_t scheme = entry.find("://");
    if (scheme != std::string::npos) entry.erase(0, scheme + 3);
    if (entry == "<local>") {
      if (name.find('.') == std::string::npos) return true;
      continue;
    }
    const std::string& subject = entry.find(':') != std::string::npos ? nameAndPort : name;
    if (WildcardMatches(entry.c_str(), subject.c_str())) return true;
  }
  return false;
}

std::string ProxyForScheme(const std::string& list, const std::string& scheme) {
  const std::string wanted = AsciiLower(scheme) + "=";
  std::string unnamed;
  for (const std::string& entry : Entries(list, "; \t")) {
    if (AsciiLower(entry.substr(0, wanted.size())) == wanted) return entry.substr(wanted.size());
    if (unnamed.empty() && entry.find('=') == std::string::npos) unnamed = entry;
  }
  return unnamed;
}

}  // namespace platform
