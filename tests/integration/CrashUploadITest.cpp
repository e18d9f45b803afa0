// The crash path end to end on Linux: the real Setup with CrashTest in its
// settings file crashes when a scripted user presses Install; its signal
// handler writes a crash report beside the log and starts a copy with
// "-dmp ", which uploads the report to the log collection service.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "integration/RefServices.h"
#include "integration/TestPki.h"
#include "posix/SetupChild.h"
#include "unit/TempFolder.h"

namespace {

namespace fs = std::filesystem;

// The uploads once `count` have arrived, or what arrived within 30 s.
Json::Value WaitForUploads(const RefServices& services, unsigned count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  Json::Value uploads = services.LogUploads();
  while (uploads.size() < count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    uploads = services.LogUploads();
  }
  return uploads;
}

TEST(CrashUploadITest, CrashTestReportArrivesAtTheLogCollectionService) {
  TempFolder temp;
  TestPki pki(temp.path() / "pki");
  const TestPki::Pair pair = pki.Server("logs", "IP:127.0.0.1,DNS:localhost");
  RefServices services(RefServices::Options{{}, {}, {}, pair.cert, pair.key});
  const fs::path bin = temp.path() / "bin";
  fs::create_directories(bin);
  fs::copy_file(std::string(SETUP_BIN_DIR) + "/Setup", bin / "Setup");
  std::ofstream(bin / "ov_downloader.cfg") << "[Settings]\nCrashTest=1\nServiceHost=" << services.host()
                                           << "\nCaBundle=" << pki.caBundle().string() << "\n";

  std::ofstream(temp.path() / "user.script") << "click install_btn\n";

  SetupChild setup(temp.path() / "run");
  setup.SetEnv("SETUP_USER_SCRIPT", (temp.path() / "user.script").string());
  ASSERT_TRUE(setup.Start((bin / "Setup").string(), {}, "out.txt"));
  setup.Wait();
  const Json::Value uploads = WaitForUploads(services, 1);
  ASSERT_EQ(uploads.size(), 1u) << setup.Output();
  const Json::Value& upload = uploads[0];
  EXPECT_TRUE(upload["accepted"].asBool()) << upload["problem"].asString();
  EXPECT_EQ(upload["catalogue"].asString(), "CrashDmp");
  EXPECT_EQ(upload["product_id"].asString(), "RERodaruze2900");
  EXPECT_EQ(upload["version"].asString(), SETUP_VERSION_TEXT);
  EXPECT_TRUE(std::regex_match(upload["fileName"].asString(), std::regex(R"(QuenloSetup_\d{17}\.zip)")));
  const std::string reportName = upload["entries"][0]["name"].asString();
  ASSERT_TRUE(std::regex_match(reportName, std::regex(R"(QuenloSetup_\d{17}\.crash\.txt)"))) << reportName;

  // The report stays beside the crashed run's log, with the signal, the
  // address written through and the frames.
  const fs::path logs = temp.path() / "run" / "appdata" / "RIVovaravizu" / "logs" / "QuenloSetup";
  const std::string report = SetupChild::ReadFile(logs / reportName);
  EXPECT_EQ(upload["entries"][0]["size"].asUInt64(), report.size());
  EXPECT_TRUE(report.find("signal 11 (SEGV)\naddress 0x0\nbacktrace:\n") != std::string::npos) << report;
  EXPECT_TRUE(report.find("Setup(") != std::string::npos) << report;
  const fs::path crashedLog = logs / (reportName.substr(0, reportName.find('.')) + ".log");
  EXPECT_TRUE(fs::exists(crashedLog)) << crashedLog;
}

}  // namespace
