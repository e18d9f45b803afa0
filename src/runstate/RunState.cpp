#include "runstate/RunState.h"

#include "runstate/EventSink.h"

#include <cstdio>

#include "platform/Platform.h"

// Year to millisecond, 17 digits: two runs in the same second still differ.
std::wstring FormatRunTimestamp(const platform::LocalTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4d%.2d%.2d%.2d%.2d%.2d%.3d", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond);
  return std::wstring(text, text + std::char_traits<char>::length(text));
}

RunState& RunState::Shared() {
  static RunState state;
  return state;
}

void RunState::SetCachedValue(const std::string& key, int64_t value) {
  if (key.empty() || value == 0) return;
  std::lock_guard<std::mutex> guard(cacheLock_);
  lengthCache_[key] = value;
}

int64_t RunState::GetCachedValue(const std::string& key) const {
  std::lock_guard<std::mutex> guard(cacheLock_);
  const auto found = lengthCache_.find(key);
  return found == lengthCache_.end() ? 0 : found->second;
}

int RunState::SendEvent(const std::string& category, const std::string& action, const std::string& label,
                        bool wait) const {
  EventSink* sink = events_;
  return sink ? sink->Event(category, action, label, wait) : 0;
}

int RunState::SendFunnel(const std::string& category, const std::string& action,
                         const std::map<std::string, std::string>& members, bool wait) const {
  EventSink* sink = events_;
  return sink ? sink->Funnel(category, action, members, wait) : 0;
}
