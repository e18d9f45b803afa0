// The analytics front end of CSingleUserLog against a recording reporting
// object: GA4 parameters, funnel texts, derived core-function funnels, the
// AutoRun switch, galog.json and the file-name id.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FakeSystem.h"
#include "Ga4Request.h"
#include "RecordingReport.h"
#include "analytics/AnalyticsChannels.h"
#include "analytics/SingleUserLog.h"
#include "TempFolder.h"

namespace {

class SingleUserLogAnalytics : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_.SetModulePath((temp_.path() / "Setup_123456789012345678.exe").wstring());
    fake_.SetEnv(L"APPDATA", (temp_.path() / "appdata").wstring());
    fake_.AddDrive(temp_.path().wstring() + std::wstring(1, platform::kPathSep), 1ull << 30);
  }
  // A fresh front end around the recorder, initialised like start-up does.
  std::unique_ptr<CSingleUserLog> Make(int siteId = 10, const std::string& url = "https://h/setup.exe") {
    auto log = std::make_unique<CSingleUserLog>(&report_);
    log->SetupPaths(L"setup");
    log->InitUserLog(578, siteId, "1.0.0.0", "Quenlo", url, false, 8948);
    report_.calls.clear();
    return log;
  }
  std::filesystem::path Galog() const {
    return temp_.path() / "appdata" / "RIVovaravizu" / "logs" / "setup" / "galog.json";
  }

  TempFolder temp_;
  FakeSystem fake_;
  FakeSystemGuard guard_{fake_};
  RecordingReport report_;
};

TEST_F(SingleUserLogAnalytics, InitStartsTheSdkAsADownloader) {
  CSingleUserLog log(&report_);
  log.InitUserLog(277, 10, "1.0.0.0", "Quenlo", "https://h/setup.exe", true, 8948);
  ASSERT_EQ(report_.calls.size(), 2u);
  EXPECT_EQ(report_.calls[0].text, "2/8948/8948/Quenlo/1.0.0.0");
  EXPECT_EQ(report_.calls[1].text.rfind("277/1/en/", 0), 0u);  // kit flag set, tools language "en"
}

TEST_F(SingleUserLogAnalytics, FlowErrorSendsErrorReportingThenTheDerivedFunnelThenGa4) {
  auto log = Make();
  EXPECT_EQ(log->AddUserLogEvent("Other", "FlowError", "DL013"), 0);
  const auto& calls = report_.calls;
  ASSERT_EQ(calls.size(), 4u);
  const Json::Value& error = calls[0].json["actions"];
  EXPECT_EQ(error["event_type"].asString(), "event");
  EXPECT_EQ(error["event_category"].asString(), "ErrorReporting");
  EXPECT_EQ(error["event_action"].asString(), "Error");
  EXPECT_EQ(error["MainErrorType"].asString(), "DL013");
  EXPECT_EQ(calls[1].json["actions"]["event_action"].asString(), "CoreFuncStart");
  EXPECT_EQ(calls[1].json["actions"]["core_func_name"].asString(), "FlowError");
  EXPECT_EQ(calls[1].json["actions"]["func_step"].asInt(), 0);
  EXPECT_EQ(calls[2].json["actions"]["event_type"].asString(), "CoreFuncEvent");
  EXPECT_EQ(calls[2].json["actions"]["event_action"].asString(), "DL013");
  EXPECT_EQ(calls[2].json["actions"]["event_category"].asString(), "Download");
  EXPECT_EQ(calls[2].json["actions"]["func_step"].asInt(), 0);
  EXPECT_EQ(calls[3].op, "AddGa4Event");
  EXPECT_EQ(Param(calls[3].text, "ep.ov_label"), "DL013");

  report_.calls.clear();
  log->AddUserLogEvent("Other", "FlowError", "DL020");
  ASSERT_EQ(report_.Of("AddEvent").size(), 2u);  // no second CoreFuncStart
  EXPECT_EQ(report_.Of("AddEvent")[1].json["actions"]["func_step"].asInt(), 1);
}

TEST_F(SingleUserLogAnalytics, CrashRateCloseEndsOnlyStartedFlows) {
  auto log = Make();
  log->AddUserLogEvent("CrashRate", "Close", "null");
  EXPECT_TRUE(report_.Of("AddEvent").empty());
  log->AddUserLogEvent("Other", "FlowErrorIsChToolKitErrorCode", "7");
  report_.calls.clear();
  log->AddUserLogEvent("CrashRate", "Close", "null");
  const auto events = report_.Of("AddEvent");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].json["actions"]["core_func_name"].asString(), "FlowIsChToolKitError");
  EXPECT_EQ(events[0].json["actions"]["event_action"].asString(), "CoreFuncEnd");
  EXPECT_EQ(events[0].json["kit_type"].asInt(), 0);
}

TEST_F(SingleUserLogAnalytics, ToolKitFlowCarriesTheKitOverride) {
  auto log = Make();
  log->AddUserLogEvent("Other", "FlowErrorIsChToolKitErrorCode", "7");
  const auto events = report_.Of("AddEvent");
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].json["kit_type"].asInt(), 2);
  EXPECT_EQ(events[1].json["actions"]["event_action"].asString(), "7");
}

TEST_F(SingleUserLogAnalytics, Ga4ParametersCarryTheEightDimensions) {
  auto log = Make(74, "https://h/Setup_BING_x.exe");
  const std::string params = log->Ga4Parameters("Download", "1.Launch", "First");
  EXPECT_EQ(params.rfind("&tid=G-", 0), 0u);
  EXPECT_EQ(Param(params, "ep.ov_productname"), "Downloader");
  EXPECT_EQ(Param(params, "en"), "1.Launch");
  EXPECT_EQ(Param(params, "ep.cd2"), "PPC");
  const std::string cd3 = Param(params, "ep.cd3");
  EXPECT_EQ(cd3.substr(cd3.size() - 5), "-Bing");
  EXPECT_EQ(Param(params, "ep.cd4"), "Quenlo");
  EXPECT_EQ(Param(params, "ep.cd8"), "1");
  const std::string cd7 = Param(params, "ep.cd7");
  EXPECT_TRUE(cd7.size() > 6 && (cd7.substr(cd7.size() - 6) == " 64bit" || cd7.substr(cd7.size() - 6) == " 32bit"));
  auto other = Make(1000);
  const std::string plain = other->Ga4Parameters("a", "b", "c");
  EXPECT_EQ(Param(plain, "ep.cd2"), "SEO");
  EXPECT_EQ(Param(plain, "ep.cd3"), "1000");
  EXPECT_LE(other->Ga4Parameters("a", std::string(5000, 'x'), "c").size(), 4095u);
}

TEST_F(SingleUserLogAnalytics, FunnelTextNamesTheDownloaderAndItsFileNameId) {
  auto log = Make();
  log->AddUserLog_funnel("Keypoint", "null", 0, "CorePublicModule", "Start", "null", false, false);
  const Json::Value text = report_.Of("AddEvent").at(0).json;
  EXPECT_EQ(text["brand"].asString(), "PC");
  EXPECT_EQ(text["source_type"].asString(), "downloader");
  EXPECT_EQ(text["cross_end_id"].asString(), "123456789012345678");
  EXPECT_EQ(text["pid"].asInt(), 8948);
  EXPECT_EQ(text["actions"]["event_type"].asString(), "Keypoint");
  fake_.SetModulePath((temp_.path() / "Setup.exe").wstring());
  EXPECT_EQ(CSingleUserLog(&report_).FileNameId(), "");
}

// A waiting event the SDK could not deliver at once stays queued there: it
// reaches the SDK once, whatever the SDK answers.
TEST_F(SingleUserLogAnalytics, EveryEventReachesTheSdkOnceWhateverItAnswers) {
  auto log = Make();
  for (int result : {-2, -1, -93}) {
    report_.result = result;
    report_.calls.clear();
    EXPECT_EQ(log->AddUserLog_funnelPair("ErrorReporting", "Error", "k", "v", true), result);
    ASSERT_EQ(report_.Of("AddEvent").size(), 1u) << result;
    EXPECT_EQ(report_.Of("AddEvent")[0].wait, 1);
    EXPECT_EQ(log->AddUserLogEvent("Other", "32bitStartupForbided", "", true), result);
    ASSERT_EQ(report_.Of("AddGa4Event").size(), 1u) << result;
    EXPECT_EQ(report_.Of("AddGa4Event")[0].wait, 1);
  }
}

// An "&" or "=" in a value (a label from server headers, a product name)
// stays inside its parameter, and the SDK sends the escape as it is.
TEST_F(SingleUserLogAnalytics, Ga4ValuesAreEscapedOneByOne) {
  CSingleUserLog log(&report_);
  log.InitUserLog(578, 10, "1.0.0.0", "Q&A=1 Pro", "https://h/setup.exe", false, 8948);
  const std::string params = log.Ga4Parameters("Other", "CDNInfor", "x-cache=HIT&en=evil ü");
  EXPECT_EQ(RawParam(params, "ep.ov_label"), "x-cache%3DHIT%26en%3Devil%20%C3%BC");
  EXPECT_EQ(Param(params, "ep.ov_label"), "x-cache=HIT&en=evil \xc3\xbc");
  EXPECT_EQ(RawParam(params, "ep.cd4"), "Q%26A%3D1%20Pro");
  EXPECT_EQ(Param(params, "en"), "CDNInfor");
  EXPECT_EQ(Param(params, "tid"), AnalyticsChannels::kGa4MeasurementId);
  EXPECT_EQ(Ga4Request::UrlEncode(params), params);
}

TEST_F(SingleUserLogAnalytics, AutoRunSwitchesAnalyticsOff) {
  auto log = Make();
  std::ofstream(temp_.path() / "ov_downloader.cfg") << "[Settings]\nAutoRun=1\n";
  EXPECT_EQ(log->AddUserLogEvent("Other", "FlowError", "DL013"), -99);
  EXPECT_EQ(log->AddUserLog_funnelEx("a", "b", {}), -99);
  EXPECT_TRUE(report_.calls.empty());
}

TEST_F(SingleUserLogAnalytics, NoReportingObjectGivesMinusOne) {
  CSingleUserLog log(nullptr);
  EXPECT_EQ(log.AddUserLogEvent("Download", "1.Launch", "First"), -1);
  EXPECT_EQ(log.AddUserLog_funnelEx("a", "b", {}), -1);
}

TEST_F(SingleUserLogAnalytics, GalogMarksTheFirstRunOfADayAndTheVersion) {
  platform::LocalTime day;
  day.year = 2024, day.month = 6, day.day = 1, day.hour = 8;
  fake_.SetLocalTime(day);
  auto first = Make();
  EXPECT_TRUE(first->IsNew());
  first->AddUserLog_funnelEx("a", "b", {});
  EXPECT_EQ(report_.Of("AddEvent")[0].json["is_new"].asInt(), 1);
  Json::Value galog;
  std::ifstream(Galog()) >> galog;
  EXPECT_EQ(galog["day"].asInt(), 1);
  EXPECT_TRUE(galog.isMember("version"));

  EXPECT_FALSE(Make()->IsNew());  // same day
  day.day = 2;
  fake_.SetLocalTime(day);
  EXPECT_TRUE(Make()->IsNew());
  std::ofstream(Galog()) << "not json";
  EXPECT_TRUE(Make()->IsNew());  // unreadable counts as another day
  std::ofstream(Galog()) << "{\"day\":" << std::string(5000, '[');
  EXPECT_TRUE(Make()->IsNew());  // nested deeper than the reader allows: unreadable as well
  std::ifstream(Galog()) >> galog;
  EXPECT_EQ(galog["day"].asInt(), 2);
}

TEST_F(SingleUserLogAnalytics, ExtraCommonHoldsLanguageAndProductVersion) {
  auto log = Make();
  log->UpdateExtraCommon("de", "3.2.1.0");
  Json::Value sent;
  std::istringstream(report_.Of("SetExtraCommon").at(0).text) >> sent;
  EXPECT_EQ(sent["tools_lang"].asString(), "de");
  EXPECT_EQ(sent["product_version"].asString(), "3.2.1.0");
}

}  // namespace
