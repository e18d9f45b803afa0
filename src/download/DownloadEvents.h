// The analytics reports of the download engine (event and pair funnel). They
// go through one replaceable sink so that tests can see them; the default
// sink is the run state's event sink.
#pragma once

#include <functional>
#include <string>

namespace DownloadEvents {

// kind is "event" (key and value empty) or "funnelPair" (label empty).
using Sink = std::function<void(const std::string& kind, const std::string& category,
                                const std::string& action, const std::string& label,
                                const std::string& key, const std::string& value)>;

void Event(const std::string& category, const std::string& action, const std::string& label);
void FunnelPair(const std::string& category, const std::string& action, const std::string& key,
                const std::string& value);
// An empty sink restores the default. Not thread-safe: set before downloading.
void SetSink(Sink sink);

}  // namespace DownloadEvents
