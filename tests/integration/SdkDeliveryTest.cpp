// The reporting SDK through the reference collector: what arrives, what is
// refused, the repeat rule, GA4 requests, success codes, the queue file
// across failures, TLS trust and the backlog of an earlier run.
#include <regex>

#include "IWebLogNew.h"
#include "EventRecord.h"
#include "SdkCollector.h"
#include "platform/DeviceIdentity.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMainPid = 8948;
const char kLaunch[] = R"({"actions":{"event_category":"Download","event_action":"1.Launch"}})";

// Each test keeps to its own hour, so that tests sharing one process never
// meet in the repeat history.
platform::LocalTime At(int hour, int second, int millisecond = 0) {
  platform::LocalTime t;
  t.year = 2024, t.month = 3, t.day = 5, t.hour = hour, t.minute = 0;
  t.second = second, t.millisecond = millisecond;
  return t;
}

class SdkDelivery : public sdktest::SdkHost {
 protected:
  IWebLogNew* InitSdk(int mainPid = kMainPid, const char* version = "1.0.0.0") {
    IWebLogNew* sdk = GetReportObj();
    sdk->Init(kSdkTypeDownloader, mainPid, mainPid, "", "", "Quenlo", version, "");
    sdk->SetToolsInfo(578, 0, "en", "1.0.0.1");
    return sdk;
  }
  Json::Value Body(const Json::Value& accepted) const {
    Json::Value record;
    std::istringstream(accepted["body"].asString()) >> record;
    return record;
  }
  // The entries of the queue file still waiting (delivered ones may stay,
  // marked, until a compaction).
  int FileCount(int mainPid = kMainPid) const {
    return static_cast<int>(CQueueFile((DataFolder(mainPid) / "backup" / "tempga.wk").wstring()).Pending(nullptr).size());
  }
};

TEST_F(SdkDelivery, RecordArrivesWithItsMembersAndDefaults) {
  fake_.SetVolumeGuid(L"0f1e2d3c-aaaa-bbbb-cccc-333344445555");
  IWebLogNew* sdk = InitSdk();
  ASSERT_EQ(sdk->AddEvent(kLaunch, 1), 0);
  ASSERT_EQ(sdk->AddEvent(R"({"entry":"desk","monitor_type":"m","actions":{"event_category":"A","event_action":"B"}})", 1), 0);
  const Json::Value accepted = collector_.Accepted();
  ASSERT_EQ(accepted.size(), 2u);
  EXPECT_EQ(accepted[0]["path"].asString(), "/collect");
  const Json::Value first = Body(accepted[0]);
  EXPECT_EQ(first.getMemberNames(), (std::vector<std::string>{"actions", "common", "ts"}));
  const Json::Value& common = first["common"];
  EXPECT_EQ(common["uid"].asString(), "0f1e2d3c-aaaa-bbbb-cccc-333344445555");
  EXPECT_TRUE(std::regex_match(common["session_id"].asString(), std::regex("[0-9A-F-]{36}")));
  EXPECT_EQ(common["pid"].asInt(), kMainPid);
  EXPECT_EQ(common["channel"].asString(), "");
  EXPECT_EQ(common["is_new"], Json::Value(0));
  EXPECT_TRUE(common["is_vip"].isNull() && common["is_login"].isNull());
  EXPECT_EQ(common["cross_end_id"].asString(), "123456789012345678");
  EXPECT_EQ(common["rnclid"].asString(), "123456789012345678");
  EXPECT_EQ(common["source_type"].asString(), "downloader");
  EXPECT_EQ(common["downloader_id"].asInt(), 578);
  EXPECT_EQ(common["tools_lang"].asString(), "en");
  EXPECT_EQ(common["product_version"].asString(), "1.0.0.0");
  EXPECT_EQ(first["ts"].asString().size(), 13u);
  const Json::Value second = Body(accepted[1]);
  EXPECT_EQ(second["start"]["entry"].asString(), "desk");
  EXPECT_EQ(second["monitor"]["param"]["ext"]["pid"], Json::Value(0));
  EXPECT_EQ(FileCount(), 0);
}

TEST_F(SdkDelivery, InvalidRecordsAreRefusedWithTheirCodesAndNeverSent) {
  fake_.SetVolumeGuid(L"");
  EXPECT_EQ(InitSdk()->AddEvent(kLaunch, 1), EventRecord::kNoUid);
  fake_.SetVolumeGuid(L"0f1e2d3c-aaaa-bbbb-cccc-333344445555");
  EXPECT_EQ(InitSdk(1000)->AddEvent(kLaunch, 1), EventRecord::kPidTooSmall);
  EXPECT_EQ(InitSdk(kMainPid, "")->AddEvent(kLaunch, 1), EventRecord::kNoProductVersion);
  IWebLogNew* sdk = InitSdk();
  EXPECT_EQ(sdk->AddEvent(R"({"actions":{"event_action":"x"}})", 1), EventRecord::kNoCategory);
  EXPECT_EQ(sdk->AddEvent(R"({"actions":{"event_category":"x"}})", 1), EventRecord::kNoAction);
  fake_.SetLocalTime([] { platform::LocalTime t = At(9, 0); t.year = 2000; return t; }());
  EXPECT_EQ(sdk->AddEvent(kLaunch, 1), EventRecord::kShortTimestamp);  // 12 digits
  fake_.SetLocalTime([] { platform::LocalTime t = At(9, 0); t.year = 1960; return t; }());
  EXPECT_EQ(sdk->AddEvent(kLaunch, 1), EventRecord::kTimestampNotDigits);  // a minus sign
  CManagement::Get().sessionId.clear();
  EXPECT_EQ(sdk->AddEvent(kLaunch, 1), EventRecord::kNoSessionId);
  EXPECT_EQ(collector_.Accepted().size(), 0u);
  EXPECT_EQ(FileCount(), 0);
}

TEST_F(SdkDelivery, TwelfthEventWithinOneSecondIsDroppedAndLogged) {
  IWebLogNew* sdk = InitSdk();
  for (int i = 0; i < 11; ++i) {
    fake_.SetLocalTime(At(10, 0, i * 80));
    EXPECT_EQ(sdk->AddEvent(kLaunch, 0), 0) << i;
  }
  fake_.SetLocalTime(At(10, 0, 990));
  EXPECT_EQ(sdk->AddEvent(kLaunch, 0), -1);
  EXPECT_EQ(collector_.WaitForAccepted(11).size(), 11u);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_NE(SdkLogText(kMainPid).find("Detect repeat 11, more than 10 within 60 seconds"), std::string::npos);
  EXPECT_EQ(FileCount(), 0);
}

TEST_F(SdkDelivery, TwelveEventsOverSeventySecondsAreAllKept) {
  IWebLogNew* sdk = InitSdk();
  for (int i = 0; i < 12; ++i) {
    fake_.SetLocalTime(At(11, i * 6400 / 1000, i * 6400 % 1000));
    EXPECT_EQ(sdk->AddEvent(kLaunch, 0), 0) << i;
  }
  EXPECT_EQ(collector_.WaitForAccepted(12).size(), 12u);
}

TEST_F(SdkDelivery, Ga4AndEventItemsNeverCountAgainstEachOther) {
  IWebLogNew* sdk = InitSdk();
  fake_.SetLocalTime(At(12, 0));
  const char ga4[] = "&tid=G-ABCDEFGHIJ&ep.ov_category=Download&ep.ov_action=1.Launch&en=1.Launch";
  for (int i = 0; i < 11; ++i) {
    EXPECT_EQ(sdk->AddEvent(kLaunch, 0), 0);
    EXPECT_EQ(sdk->AddGa4Event(ga4, 0), 0);
  }
  EXPECT_EQ(sdk->AddGa4Event(ga4, 0), -1);
  EXPECT_EQ(sdk->AddEvent(kLaunch, 0), -1);
  EXPECT_EQ(collector_.WaitForAccepted(22).size(), 22u);
}

TEST_F(SdkDelivery, Ga4RequestIsEncodedAndCarriesTheClientId) {
  IWebLogNew* sdk = InitSdk();
  ASSERT_EQ(sdk->AddGa4Event("&tid=G-ABCDEFGHIJ&ep.ov_category=Other&ep.ov_action=a b/\xc3\xa9&en=x", 1), 0);
  const Json::Value accepted = collector_.Accepted();
  ASSERT_EQ(accepted.size(), 1u);
  std::string mac = platform::identity::MacText();
  mac.erase(std::remove(mac.begin(), mac.end(), ':'), mac.end());
  EXPECT_EQ(accepted[0]["path"].asString(), "/g/collect");
  EXPECT_EQ(accepted[0]["target"].asString(),
            "/g/collect?v=2&cid=" + platform::identity::VolumeSerial() + mac +
                "&tid=G-ABCDEFGHIJ&ep.ov_category=Other&ep.ov_action=a%20b%2f%c3%a9&en=x");
  EXPECT_EQ(accepted[0]["body"].asString(), "");
}

TEST_F(SdkDelivery, OnlyTheExpectedSuccessCodeCounts) {
  IWebLogNew* sdk = InitSdk();
  collector_.SetFault("mode=wrongcode");  // 204 for events, 200 for GA4
  EXPECT_EQ(sdk->AddEvent(kLaunch, 1), -2);
  EXPECT_EQ(sdk->AddGa4Event("&tid=G-ABCDEFGHIJ&ep.ov_category=C&ep.ov_action=A&en=A", 1), -2);
  EXPECT_EQ(collector_.Accepted().size(), 0u);
  EXPECT_GE(FileCount(), 1);
  collector_.SetFault("mode=none");
  EXPECT_EQ(collector_.WaitForAccepted(2).size(), 2u);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(FileCount(), 0);
}

TEST_F(SdkDelivery, WaitingEventStaysQueuedWhileTheCollectorIsDown) {
  IWebLogNew* sdk = InitSdk();
  collector_.Stop();
  EXPECT_EQ(sdk->AddEvent(kLaunch, 1), -2);
  const Json::Value doc = QueueFile(kMainPid);
  ASSERT_EQ(doc["send_count"].asInt(), 1);
  EXPECT_EQ(doc["send_item"][0]["task_status"].asInt(), 0);
  EXPECT_EQ(doc["send_item"][0]["task_guid"].asString().substr(18), "Download::1.Launch");
  EXPECT_FALSE(SdkRuntime::Get().Queue().Idle());
  ASSERT_TRUE(collector_.Start(collector_.Port()));
  EXPECT_EQ(collector_.WaitForAccepted(1).size(), 1u);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(FileCount(), 0);
}

// Only a request the collector can never take (400, 413, 414) is dropped,
// after a few rounds; a 401, 403 or 404 of a collector being deployed keeps
// the item until it is taken.
TEST_F(SdkDelivery, OnlyARequestThatCanNeverBeTakenIsDropped) {
  IWebLogNew* sdk = InitSdk();
  fake_.SetLocalTime(At(14, 0));
  for (const char* status : {"401", "403", "404"}) {
    collector_.SetFault(std::string("mode=") + status);
    EXPECT_EQ(sdk->AddEvent(kLaunch, 0), 0) << status;
    const std::string answered = std::string("PostDataError: 0, No error, ") + status;
    for (int i = 0; i < 400 && SdkLogText(kMainPid).find(answered) == std::string::npos; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_NE(SdkLogText(kMainPid).find(answered), std::string::npos);
  }
  EXPECT_EQ(FileCount(), 3);
  collector_.SetFault("mode=none");
  EXPECT_EQ(collector_.WaitForAccepted(3).size(), 3u);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(FileCount(), 0);

  collector_.SetFault("mode=400");
  EXPECT_EQ(sdk->AddEvent(kLaunch, 0), 0);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(FileCount(), 0);
  EXPECT_NE(SdkLogText(kMainPid).find("Dropped after 3 refused rounds: 2::"), std::string::npos);
  EXPECT_EQ(collector_.Accepted().size(), 3u);
}

TEST_F(SdkDelivery, UntrustedCertificateIsRefused) {
  IWebLogNew* sdk = InitSdk();
  TrustCollector(false);
  EXPECT_EQ(sdk->AddEvent(kLaunch, 1), -2);
  EXPECT_EQ(collector_.Accepted().size(), 0u);
  EXPECT_NE(SdkLogText(kMainPid).find("PostDataError: 60"), std::string::npos);  // CURLE_PEER_FAILED_VERIFICATION
  TrustCollector(true);
  EXPECT_EQ(collector_.WaitForAccepted(1).size(), 1u);
}

TEST_F(SdkDelivery, InitRequeuesTheBacklogOfAnEarlierRun) {
  const int mainPid = 8950;
  IWebLogNew* sdk = InitSdk(mainPid);
  collector_.Stop();
  fake_.SetLocalTime(At(13, 5));
  EXPECT_EQ(sdk->AddEvent(kLaunch, 0), 0);
  fake_.SetLocalTime(At(13, 6));
  EXPECT_EQ(sdk->AddEvent(kLaunch, 0), 0);
  // A short entry of some other writer: pending, but never sent.
  CQueueFile((DataFolder(mainPid) / "backup" / "tempga.wk").wstring()).Add("2::short", "{}");
  ASSERT_TRUE(collector_.Start(collector_.Port()));
  sdk = InitSdk(mainPid);
  EXPECT_NE(SdkLogText(mainPid).find("Read history: 3/3"), std::string::npos);
  EXPECT_GE(collector_.WaitForAccepted(2).size(), 2u);
  ASSERT_TRUE(WaitUntilIdle());
  EXPECT_EQ(FileCount(mainPid), 1);
}

TEST_F(SdkDelivery, ExtraCommonSkipsReservedNamesAndAccumulates) {
  IWebLogNew* sdk = InitSdk();
  EXPECT_EQ(sdk->SetExtraCommon("{"), -1);
  EXPECT_EQ(sdk->SetExtraCommon("{x"), 0);
  EXPECT_NE(SdkLogText(kMainPid).find("Extra common parse failed: "), std::string::npos);
  EXPECT_EQ(sdk->SetExtraCommon(R"({"tools_lang":"de","UID":"x"})"), 0);
  EXPECT_EQ(sdk->SetExtraCommon(R"({"product_version":"9.9"})"), 0);
  ASSERT_EQ(sdk->AddEvent(kLaunch, 1), 0);
  const Json::Value common = Body(collector_.Accepted()[0])["common"];
  EXPECT_EQ(common["tools_lang"].asString(), "de");
  EXPECT_EQ(common["product_version"].asString(), "9.9");
  EXPECT_NE(common["uid"].asString(), "x");
  EXPECT_FALSE(common.isMember("UID"));
}

TEST_F(SdkDelivery, EachDayOfInitHasItsOwnLog) {
  fake_.SetLocalTime(At(8, 0));
  InitSdk();
  platform::LocalTime next = At(8, 0);
  next.day = 6;
  fake_.SetLocalTime(next);
  InitSdk();
  const fs::path logs = DataFolder(kMainPid) / "logs";
  EXPECT_TRUE(fs::exists(logs / "20240305.log"));
  EXPECT_TRUE(fs::exists(logs / "20240306.log"));
}

TEST_F(SdkDelivery, DestroyKeepsTheSettingsAndStartsAHiddenCopy) {
  IWebLogNew* sdk = InitSdk();
  EXPECT_EQ(GetReportObj(), sdk);
  const fs::path script = appData_ / "copy.sh";
  const fs::path args = appData_ / "args.txt";
  std::ofstream(script) << "#!/bin/sh\necho \"$@\" > '" << args.string() << "'\n";
  fs::permissions(script, fs::perms::owner_all);
  fake_.SetModulePath(script.wstring());
  DestroyReportObj();
  fake_.SetModulePath((sdktest::ProcessFolder() / "program" / kProgramName).wstring());
  for (int i = 0; i < 200 && !fs::exists(args); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::ifstream in(args);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "-sendrestlogs");
  IWebLogNew* fresh = GetReportObj();
  EXPECT_EQ(fresh->AddEvent(kLaunch, 1), 0);  // Init's settings still hold
}

}  // namespace
