#include "CRepeatHistory.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iostream>

namespace {

// The parts of a key: prefix (3 characters), time stamp (13), rest (from 16).
std::string Prefix(const std::string& key) { return key.substr(0, 3); }
std::string Rest(const std::string& key) { return key.size() > 16 ? key.substr(16) : ""; }

}  // namespace

int64_t CRepeatHistory::TimestampOf(const std::string& key) {
  const std::string digits = key.size() > 3 ? key.substr(3, 13) : "";
  if (digits.empty()) return 0;
  for (char c : digits)
    if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
  errno = 0;
  const long long value = std::strtoll(digits.c_str(), nullptr, 10);
  if (errno == ERANGE) {
    std::cerr << "错误：数字超出long long范围，" << digits << '\n';
    return 0;
  }
  return value;
}

// The prefix is three characters unless the key is shorter, so the two
// parts joined stand for one pair only.
CRepeatHistory::Seen CRepeatHistory::Split(const std::string& key) {
  return {TimestampOf(key), Prefix(key) + Rest(key)};
}

int CRepeatHistory::LookForRepeatCount(const std::string& key, int windowSeconds) {
  const Seen seen = Split(key);
  std::lock_guard<std::mutex> hold(lock_);
  int matches = 0;
  size_t visited = 0;
  for (auto entry = keys_.rbegin(); entry != keys_.rend(); ++entry) {
    ++visited;
    const int64_t difference = seen.stamp - entry->stamp;
    // The distance is a 32-bit number of milliseconds: differences of 2^31
    // ms (about 24.8 days) or more wrap around.
    const int32_t wrapped = static_cast<int32_t>(static_cast<uint32_t>(
        static_cast<uint64_t>(difference < 0 ? -difference : difference)));
    if (wrapped / 1000 > windowSeconds) break;
    if (entry->kindAndName == seen.kindAndName) ++matches;
  }
  // Everything older than the last visited entry is out of every window.
  keys_.erase(keys_.begin(), keys_.end() - static_cast<std::ptrdiff_t>(visited));
  return matches;
}

void CRepeatHistory::Append(const std::string& key) {
  Seen seen = Split(key);
  std::lock_guard<std::mutex> hold(lock_);
  keys_.push_back(std::move(seen));
}

size_t CRepeatHistory::Size() const {
  std::lock_guard<std::mutex> hold(lock_);
  return keys_.size();
}
