// libFuzzer target: any text handed to SetExtraCommon. It must neither crash
// nor hang, reserved names never enter the extra common, and an event built
// with the result can still be validated and serialised.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <set>
#include <string>

#include "CManagement.h"
#include "EventRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::set<std::string> reserved = {"session_id", "uid", "os", "os_version", "mac",
                                                 "brand", "model", "cross_end_id", "rnclid", "source_type"};
  CManagement& settings = CManagement::Get();
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int result = settings.SetExtraCommon(text);
  if (result != 0 && !(result == -1 && size < 2)) __builtin_trap();
  const Json::Value extra = settings.ExtraCommon();
  for (const std::string& name : extra.isObject() ? extra.getMemberNames() : std::vector<std::string>()) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (reserved.count(lower)) __builtin_trap();
  }
  const Json::Value record = EventRecord::Build(R"({"actions":{"event_category":"a","event_action":"b"}})",
                                                settings.Common(), 1700000000000);
  EventRecord::Validate(record);
  EventRecord::RepeatKey(record);
  record.toStyledString();
  return 0;
}
