#include "download/DownloadEvents.h"

#include <map>

#include "runstate/RunState.h"

namespace DownloadEvents {

namespace {

Sink& CurrentSink() {
  static Sink sink;
  return sink;
}

void Send(const std::string& kind, const std::string& category, const std::string& action,
          const std::string& label, const std::string& key, const std::string& value) {
  if (CurrentSink()) {
    CurrentSink()(kind, category, action, label, key, value);
    return;
  }
  if (kind == "event")
    RunState::Shared().SendEvent(category, action, label);
  else
    RunState::Shared().SendFunnel(category, action, {{key, value}});
}

}  // namespace

void Event(const std::string& category, const std::string& action, const std::string& label) {
  Send("event", category, action, label, "", "");
}

void FunnelPair(const std::string& category, const std::string& action, const std::string& key,
                const std::string& value) {
  Send("funnelPair", category, action, "", key, value);
}

void SetSink(Sink sink) { CurrentSink() = std::move(sink); }

}  // namespace DownloadEvents
