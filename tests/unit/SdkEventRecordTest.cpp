// Event records of the reporting SDK: members, defaults, validation codes
// and the repeat key.
#include <gtest/gtest.h>

#include "EventRecord.h"

namespace {

constexpr int64_t kTs = 1700000000123;  // 13 digits

EventCommon ValidCommon() {
  EventCommon c;
  c.uid = "0f1e2d3c-0000-1111-2222-333344445555";
  c.sessionId = "A1B2C3D4-0000-1111-2222-333344445555";
  c.pid = 578000;
  c.productVersion = "1.2.3";
  c.crossEndId = "123456789012345678";  // 18 digits
  c.sourceType = "downloader";
  return c;
}

const char kMinimal[] = R"({"actions":{"event_category":"Download","event_action":"1.Launch"}})";

int32_t CodeOf(const EventCommon& common, const std::string& input = kMinimal, int64_t ts = kTs) {
  return EventRecord::Validate(EventRecord::Build(input, common, ts));
}

TEST(SdkEventRecord, ActionsOnlyGivesCommonActionsAndTsWithDefaults) {
  const Json::Value record = EventRecord::Build(kMinimal, ValidCommon(), kTs);
  EXPECT_EQ(record.getMemberNames(), (std::vector<std::string>{"actions", "common", "ts"}));
  const Json::Value& common = record["common"];
  EXPECT_EQ(common["channel"], Json::Value(""));
  EXPECT_EQ(common["is_new"], Json::Value(0));
  EXPECT_TRUE(common["is_vip"].isNull() && common.isMember("is_vip"));
  EXPECT_TRUE(common["is_login"].isNull() && common.isMember("is_login"));
  EXPECT_EQ(common["rnclid"], common["cross_end_id"]);
  EXPECT_EQ(common["pid"].asInt(), 578000);
  EXPECT_EQ(record["ts"].asInt64(), kTs);
  EXPECT_EQ(EventRecord::Validate(record), EventRecord::kValid);
}

TEST(SdkEventRecord, EntryAndMonitorTypeCreateTheirObjects) {
  const Json::Value record = EventRecord::Build(
      R"({"entry":"desktop","monitor_type":"crash","is_new":1,"channel":7,"actions":{}})", ValidCommon(), kTs);
  EXPECT_EQ(record["start"]["entry"], Json::Value("desktop"));
  EXPECT_EQ(record["common"]["is_new"], Json::Value(1));
  EXPECT_EQ(record["common"]["channel"], Json::Value(7));  // copied with its own type
  const Json::Value& monitor = record["monitor"];
  EXPECT_EQ(monitor["monitor_type"], Json::Value("crash"));
  EXPECT_EQ(monitor["guid"], Json::Value(""));
  EXPECT_EQ(monitor["param"]["start_time"], Json::Value(0));
  EXPECT_EQ(monitor["param"]["error_code"], Json::Value(""));
  EXPECT_EQ(monitor["param"]["ext"]["parent_pid"], Json::Value(0));
  EXPECT_EQ(monitor["param"]["ext"]["ext_others"], Json::Value(""));
  EXPECT_EQ(monitor["param"]["user_ext"], Json::Value(""));
}

TEST(SdkEventRecord, UnreadableOrNonObjectInputFailsWithMissingCategory) {
  EXPECT_EQ(CodeOf(ValidCommon(), "{not json"), EventRecord::kNoCategory);
  EXPECT_EQ(CodeOf(ValidCommon(), "[1,2]"), EventRecord::kNoCategory);
  EXPECT_EQ(CodeOf(ValidCommon(), R"({"actions":"text"})"), EventRecord::kNoCategory);
}

TEST(SdkEventRecord, EachValidationCodeInOrder) {
  EventCommon c = ValidCommon();
  c.sessionId.clear();
  c.uid.clear();
  EXPECT_EQ(CodeOf(c), -99);  // the first failing check decides
  c = ValidCommon();
  c.uid.clear();
  EXPECT_EQ(CodeOf(c), -98);
  c = ValidCommon();
  c.pid = 1000;
  EXPECT_EQ(CodeOf(c), -97);
  c.pid = 1001;
  EXPECT_EQ(CodeOf(c), 0);
  c = ValidCommon();
  c.productVersion.clear();
  EXPECT_EQ(CodeOf(c), -96);
  c = ValidCommon();
  c.crossEndId = "12345678901234567";  // 17 digits
  EXPECT_EQ(CodeOf(c), -95);
  c.crossEndId = "12345678901234567a";  // 18 characters, one letter
  EXPECT_EQ(CodeOf(c), -94);
  c.crossEndId = "";
  EXPECT_EQ(CodeOf(c), 0);
  EXPECT_EQ(CodeOf(ValidCommon(), R"({"actions":{"event_category":"","event_action":"x"}})"), -93);
  EXPECT_EQ(CodeOf(ValidCommon(), R"({"actions":{"event_category":"Download","event_action":""}})"), -92);
  EXPECT_EQ(CodeOf(ValidCommon(), kMinimal, 999999999999), -91);  // 12 digits
  EXPECT_EQ(CodeOf(ValidCommon(), kMinimal, -1700000000123), -90);
}

TEST(SdkEventRecord, ExtraCommonReplacesFixedValuesAndIsValidated) {
  EventCommon c = ValidCommon();
  c.extraCommon["product_version"] = "";
  c.extraCommon["tools_lang"] = "de";
  const Json::Value record = EventRecord::Build(kMinimal, c, kTs);
  EXPECT_EQ(record["common"]["tools_lang"], Json::Value("de"));
  EXPECT_EQ(EventRecord::Validate(record), -96);
  c.extraCommon["pid"] = "77";  // read as an integer
  EXPECT_EQ(CodeOf(c), -97);
}

TEST(SdkEventRecord, RepeatKeyPutsTheCategoryAtCharacter18) {
  const std::string key = EventRecord::RepeatKey(EventRecord::Build(kMinimal, ValidCommon(), kTs));
  EXPECT_EQ(key, "2::1700000000123::Download::1.Launch");
  EXPECT_EQ(key.substr(18, 8), "Download");
  EXPECT_EQ(key, EventRecord::RepeatKey(EventRecord::Build(kMinimal, ValidCommon(), kTs)));
}

TEST(SdkEventRecord, StyledTextSortsMembersAndIndentsWithTabs) {
  const std::string text = EventRecord::Build(kMinimal, ValidCommon(), kTs).toStyledString();
  EXPECT_LT(text.find("\"actions\""), text.find("\"common\""));
  EXPECT_NE(text.find("\n\t\"ts\" : 1700000000123"), std::string::npos);
  EXPECT_EQ(text.back(), '\n');
}

}  // namespace
