// A user whose profile path the ANSI code page cannot spell ("José Müller"
// on a Russian system, any CJK name anywhere): the reporting SDK's log and
// queue file, the upload's copy and archive, and the upload's POST of that
// archive all work under it. scripts/test-windows.sh runs these tests once
// more under a Russian locale (code page 1251).
#include <gtest/gtest.h>

#include <curl/curl.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "CManagement.h"
#include "CQueueFile.h"
#include "IWebLogNew.h"
#include "SdkRuntime.h"
#include "WinTestUtil.h"
#include "toolkit/ResourceArchive.h"
#include "unit/FakeSystem.h"
#include "unit/LogCapture.h"
#include "upload/CLogUpload.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class Win32UnicodeProfile : public ::testing::Test {
 protected:
  void SetUp() override {
    profile_ = temp_.path() + L"\\Jos\u00e9 M\u00fcller \u5c71\u7530\u592a\u90ce";
    appData_ = profile_ + L"\\AppData\\Roaming";
    ASSERT_TRUE(fs::create_directories(fs::path(appData_)));
    fake_.SetEnv(L"APPDATA", appData_);
    fake_.SetModulePath(temp_.path() + L"\\Setup_123456789012345678.exe");
    fake_.SetVolumeGuid(L"0f1e2d3c-aaaa-bbbb-cccc-333344445555");
  }

  wintest::WinTempFolder temp_{L"unicode_profile"};
  std::wstring profile_, appData_;
  FakeSystem fake_;
  FakeSystemGuard guard_{fake_};
};

TEST_F(Win32UnicodeProfile, TheCodePageCannotSpellIt) {
  std::string ansi;
  EXPECT_FALSE(platform::WideToAnsiExact(profile_, &ansi)) << "code page " << GetACP();
}

TEST_F(Win32UnicodeProfile, TheSdkKeepsItsLogAndQueueThere) {
  DeliveryConfig nowhere;  // nothing listens: the item stays queued
  nowhere.collectorUrl = nowhere.testCollectorUrl = "https://127.0.0.1:9/collect";
  nowhere.ga4Base = "https://127.0.0.1:9";
  SdkTiming timing;
  timing.retryPauseMs = 20;
  timing.idlePollMs = 20;
  SdkRuntime::Get().Configure(nowhere, timing);
  IWebLogNew* sdk = GetReportObj();
  sdk->Init(kSdkTypeDownloader, 8951, 8951, "", "", "Quenlo", "1.0.0.0", "");
  sdk->SetToolsInfo(578, 0, "en", "1.0.0.1");
  ASSERT_EQ(sdk->AddEvent(R"({"actions":{"event_category":"Download","event_action":"1.Launch"}})", 0), 0);
  const std::wstring data = appData_ + L"\\RIDereDideriZOZ\\8951";
  const Json::Value queue = CQueueFile(data + L"\\backup\\tempga.wk").Read();
  ASSERT_EQ(queue["send_count"].asInt(), 1);
  EXPECT_EQ(queue["send_item"][0]["task_guid"].asString().substr(18), "Download::1.Launch");
  bool logged = false;
  for (const auto& entry : fs::directory_iterator(fs::path(data + L"\\logs")))
    logged = logged || ReadAll(entry.path().wstring()).find("SDK init ok") != std::string::npos;
  EXPECT_TRUE(logged);
}

// The copy and the archive are made there (minizip with a wide path), and
// libcurl (built with UNICODE) reads the archive by its UTF-8 name: only
// the missing server stops the upload, never the file.
TEST_F(Win32UnicodeProfile, TheUploadReadsItsArchiveThere) {
  const std::wstring folder = appData_ + L"\\RIVovaravizu\\logs\\QuenloSetup";
  ASSERT_TRUE(fs::create_directories(fs::path(folder)));
  std::ofstream(fs::path(folder + L"\\QuenloSetup_1.log"), std::ios::binary) << "a line of the log\n";
  LogCapture log;
  CLogUpload upload(folder, "http://127.0.0.1:9/v1/productLogUpload", CLogUpload::Limits{5, 5});
  EXPECT_EQ(upload.Upload(L"QuenloSetup_1.log", "close01"), CLogUpload::kUploadTried);
  EXPECT_EQ(log.Count("(close01): result " + std::to_string(CURLE_COULDNT_CONNECT) + ", status 0"), 1u);
  std::vector<std::wstring> archives;  // kept: it was not sent
  for (const auto& entry : fs::directory_iterator(fs::path(folder)))
    if (entry.path().extension() == L".zip") archives.push_back(entry.path().wstring());
  ASSERT_EQ(archives.size(), 1u);
  const std::string zip = ReadAll(archives[0]);
  toolkit::ResourceArchive read;
  ASSERT_TRUE(read.Open(zip.data(), zip.size()));
  std::string entry;
  ASSERT_TRUE(read.ReadMember(L"QuenloSetup_1.log", &entry));
  EXPECT_EQ(entry, "a line of the log\n");
}

}  // namespace
