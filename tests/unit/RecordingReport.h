// A reporting object that records every call in order, for the tests of the
// analytics front end and of the windows that report through it. Calls may
// come from several threads; read `calls` once they have ended.
#pragma once

#include <curl/curl.h>
#include <json/json.h>

#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "IWebLogNew.h"

// The value of `name` in a GA4 parameter string, as sent (percent-encoded),
// or "<none>" when absent.
inline std::string RawParam(const std::string& params, const std::string& name) {
  const std::string marker = "&" + name + "=";
  const size_t at = params.find(marker);
  if (at == std::string::npos) return "<none>";
  const size_t from = at + marker.size();
  return params.substr(from, params.find('&', from) - from);
}

// The same value decoded.
inline std::string Param(const std::string& params, const std::string& name) {
  const std::string raw = RawParam(params, name);
  int length = 0;
  char* decoded = curl_easy_unescape(nullptr, raw.data(), static_cast<int>(raw.size()), &length);
  const std::string value(decoded, static_cast<size_t>(length));
  curl_free(decoded);
  return value;
}

// Answers AddEvent and AddGa4Event with `result`.
class RecordingReport : public IWebLogNew {
 public:
  struct Call {
    std::string op;
    Json::Value json;   // AddEvent's text, parsed
    std::string text;   // AddGa4Event's parameters, SetExtraCommon's text, Init's product
    int wait = 0;
  };
  int32_t Init(int32_t type, int32_t mainPid, int32_t pid, const char*, const char*, const char* product,
               const char* version, const char*) override {
    Record({"Init", Json::Value(), std::to_string(type) + "/" + std::to_string(mainPid) + "/" +
                                       std::to_string(pid) + "/" + product + "/" + version});
    return 0;
  }
  int32_t SetToolsInfo(int32_t id, int32_t kit, const char* lang, const char* version) override {
    Record({"SetToolsInfo", Json::Value(), std::to_string(id) + "/" + std::to_string(kit) + "/" + lang + "/" + version});
    return 0;
  }
  int32_t SetExtraCommon(const char* json) override {
    Record({"SetExtraCommon", Json::Value(), json});
    return 0;
  }
  int32_t AddEvent(const char* json, int32_t wait) override {
    Json::Value parsed;
    std::istringstream(json) >> parsed;
    Record({"AddEvent", parsed, "", wait});
    return result;
  }
  int32_t AddGa4Event(const char* params, int32_t wait) override {
    Record({"AddGa4Event", Json::Value(), params, wait});
    return result;
  }
  std::vector<Call> Of(const std::string& op) const {
    std::vector<Call> found;
    for (const Call& call : calls)
      if (call.op == op) found.push_back(call);
    return found;
  }

  std::vector<Call> calls;
  int32_t result = 0;
  // Called with each call as it comes (on the caller's thread).
  std::function<void(const Call&)> observer;

 private:
  void Record(Call call) {
    if (observer) observer(call);
    std::lock_guard<std::mutex> guard(lock_);
    calls.push_back(std::move(call));
  }
  std::mutex lock_;
};
