// The event record of AddEvent: the caller's JSON plus the SDK's common
// fields, its validation codes and its repeat key.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>

// The fixed values of the record's `common` object, read from the settings
// record at the moment the event is built.
struct EventCommon {
  std::string uid, userId, sessionId;
  int32_t pid = 0;
  std::string brand, model, mac, os, osVersion;
  std::string product, productVersion, email, phone;
  std::string crossEndId;  // sent as cross_end_id and as rnclid
  std::string sourceType;
  std::string toolsVersion, toolsLang;
  int32_t kitType = 0, downloaderId = 0;
  Json::Value extraCommon;  // null or an object; written last
};

namespace EventRecord {

// Validation codes of a record; 0 is valid.
enum Code : int32_t {
  kValid = 0,
  kNoSessionId = -99,
  kNoUid = -98,
  kPidTooSmall = -97,
  kNoProductVersion = -96,
  kShortRnclid = -95,
  kRnclidNotDigits = -94,
  kNoCategory = -93,
  kNoAction = -92,
  kShortTimestamp = -91,
  kTimestampNotDigits = -90,
};

// Milliseconds since 1970 of the local wall-clock time, converted as if no
// daylight-saving time were in force (so local time is sent as such).
int64_t LocalTimestampMs();

// Builds the record from the caller's JSON text (an unreadable text or a
// non-object acts as an empty object).
Json::Value Build(const std::string& input, const EventCommon& common, int64_t ts);
// The first failing check decides; 0 when valid.
int32_t Validate(const Json::Value& record);
// "2::" ts "::" category "::" action.
std::string RepeatKey(const Json::Value& record);

// A member as text: strings as they are, numbers and Booleans written out,
// anything else (missing, null, objects, arrays) empty.
std::string TextOf(const Json::Value& value);
// A member of an object, or null when the value is no object.
const Json::Value& MemberOf(const Json::Value& object, const char* name);

}  // namespace EventRecord
