#include "EventRecord.h"

#include <cctype>
#include <cstdlib>
#include <ctime>

#include "base/JsonText.h"
#include "platform/Platform.h"

namespace EventRecord {

namespace {

const Json::Value& NullValue() {
  static const Json::Value null;
  return null;
}

// The input member, or the default when it is absent.
Json::Value InputOr(const Json::Value& input, const char* name, const Json::Value& fallback) {
  return input.isMember(name) ? input[name] : fallback;
}

Json::Value CommonOf(const Json::Value& input, const EventCommon& c) {
  Json::Value common(Json::objectValue);
  common["uid"] = c.uid;
  common["user_id"] = c.userId;
  common["session_id"] = c.sessionId;
  common["pid"] = c.pid;
  common["brand"] = c.brand;
  common["model"] = c.model;
  common["channel"] = InputOr(input, "channel", "");
  common["is_new"] = InputOr(input, "is_new", 0);
  common["mac"] = c.mac;
  common["os"] = c.os;
  common["os_version"] = c.osVersion;
  common["product"] = c.product;
  common["product_version"] = c.productVersion;
  common["email"] = c.email;
  common["phone"] = c.phone;
  common["is_vip"] = InputOr(input, "is_vip", Json::Value());
  common["is_login"] = InputOr(input, "is_login", Json::Value());
  common["cross_end_id"] = c.crossEndId;
  common["rnclid"] = c.crossEndId;
  common["source_type"] = c.sourceType;
  common["tools_version"] = c.toolsVersion;
  common["tools_lang"] = c.toolsLang;
  common["kit_type"] = c.kitType;
  common["downloader_id"] = c.downloaderId;
  if (c.extraCommon.isObject())
    for (const std::string& name : c.extraCommon.getMemberNames()) common[name] = c.extraCommon[name];
  return common;
}

Json::Value MonitorOf(const Json::Value& input) {
  Json::Value monitor(Json::objectValue);
  monitor["monitor_type"] = InputOr(input, "monitor_type", "");
  monitor["guid"] = InputOr(input, "monitor_guid", "");
  Json::Value& param = monitor["param"];
  param["start_time"] = InputOr(input, "monitor_start_time", 0);
  param["error_time"] = InputOr(input, "monitor_error_time", 0);
  param["line_id"] = InputOr(input, "monitor_line_id", 0);
  param["error_code"] = InputOr(input, "monitor_error_code", "");
  param["total_memory"] = InputOr(input, "monitor_total_memory", "");
  param["remain_memory"] = InputOr(input, "monitor_remain_memory", "");
  param["ext"]["parent_pid"] = InputOr(input, "monitor_main_pid", 0);
  param["ext"]["pid"] = InputOr(input, "monitor_sub_pid", 0);
  param["ext"]["ext_others"] = InputOr(input, "monitor_ext1", "");
  param["user_ext"] = InputOr(input, "monitor_user_ext", "");
  return monitor;
}

// A number read as an integer; text is read by its leading digits.
int64_t IntegerOf(const Json::Value& value) {
  if (value.isInt64()) return value.asInt64();
  if (value.isDouble()) {  // fractions are cut, values beyond 64 bits clamped
    const double number = value.asDouble();
    if (number >= 9.2e18) return INT64_MAX;
    return number <= -9.2e18 ? INT64_MIN : static_cast<int64_t>(number);
  }
  if (value.isString()) return std::strtoll(value.asCString(), nullptr, 10);
  if (value.isBool()) return value.asBool() ? 1 : 0;
  return 0;
}

bool AllDigits(const std::string& text) {
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

int64_t LocalTimestampMs() {
  const platform::LocalTime now = platform::System().Now();
  std::tm fields{};
  fields.tm_year = now.year - 1900;
  fields.tm_mon = now.month - 1;
  fields.tm_mday = now.day;
  fields.tm_hour = now.hour;
  fields.tm_min = now.minute;
  fields.tm_sec = now.second;
  fields.tm_isdst = 0;
  return static_cast<int64_t>(std::mktime(&fields)) * 1000 + now.millisecond;
}

std::string TextOf(const Json::Value& value) {
  if (value.isString() || value.isNumeric() || value.isBool()) return value.asString();
  return "";
}

const Json::Value& MemberOf(const Json::Value& object, const char* name) {
  if (!object.isObject() || !object.isMember(name)) return NullValue();
  return object[name];
}

Json::Value Build(const std::string& inputText, const EventCommon& common, int64_t ts) {
  const Json::Value input = JsonText::ParseObject(inputText);  // failures are not reported
  Json::Value record(Json::objectValue);
  record["common"] = CommonOf(input, common);
  if (input.isMember("entry")) record["start"]["entry"] = input["entry"];
  record["actions"] = InputOr(input, "actions", Json::Value());
  if (input.isMember("monitor_type")) record["monitor"] = MonitorOf(input);
  record["ts"] = static_cast<Json::Int64>(ts);
  return record;
}

int32_t Validate(const Json::Value& record) {
  const Json::Value& common = MemberOf(record, "common");
  const Json::Value& actions = MemberOf(record, "actions");
  if (TextOf(MemberOf(common, "session_id")).empty()) return kNoSessionId;
  if (TextOf(MemberOf(common, "uid")).empty()) return kNoUid;
  if (IntegerOf(MemberOf(common, "pid")) <= 1000) return kPidTooSmall;
  if (TextOf(MemberOf(common, "product_version")).empty()) return kNoProductVersion;
  const std::string rnclid = TextOf(MemberOf(common, "rnclid"));
  if (!rnclid.empty() && rnclid.size() <= 17) return kShortRnclid;
  if (rnclid.size() > 17 && !AllDigits(rnclid)) return kRnclidNotDigits;
  if (TextOf(MemberOf(actions, "event_category")).empty()) return kNoCategory;
  if (TextOf(MemberOf(actions, "event_action")).empty()) return kNoAction;
  const std::string ts = TextOf(MemberOf(record, "ts"));
  if (ts.size() <= 12) return kShortTimestamp;
  if (!AllDigits(ts)) return kTimestampNotDigits;
  return kValid;
}

std::string RepeatKey(const Json::Value& record) {
  const Json::Value& actions = MemberOf(record, "actions");
  return "2::" + TextOf(MemberOf(record, "ts")) + "::" + TextOf(MemberOf(actions, "event_category")) +
         "::" + TextOf(MemberOf(actions, "event_action"));
}

}  // namespace EventRecord
