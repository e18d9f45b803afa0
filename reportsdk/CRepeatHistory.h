// The repeat history: the keys of recently queued items, newest last, used
// to drop floods of identical items. Keys are "k::" + a 13-digit millisecond
// time stamp + "::" + category "::" action; the distance between two keys is
// measured on their own time stamps, not on the clock.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

class CRepeatHistory {
 public:
  // How many keys within `windowSeconds` of the key's time stamp have the
  // same kind, category and action. Keys older than the first key outside
  // the window are forgotten.
  int LookForRepeatCount(const std::string& key, int windowSeconds);
  void Append(const std::string& key);
  size_t Size() const;

  // Milliseconds of a key's time-stamp field; 0 when it is empty, not all
  // digits or beyond 64 bits.
  static int64_t TimestampOf(const std::string& key);

 private:
  // A key split once when it is appended, so that the walk over a full
  // window compares numbers and short texts only.
  struct Seen {
    int64_t stamp;
    std::string kindAndName;  // the key without its time stamp
  };
  static Seen Split(const std::string& key);

  mutable std::mutex lock_;  // the history lock
  std::deque<Seen> keys_;
};
