// The "-sendrestlogs" mode of a real Setup copy, and the queue file's
// promise: events accepted by processes that were killed at random moments
// while the collector was down all arrive once Setup sends the backlog.
#include <unistd.h>

#include <random>
#include <regex>
#include <set>

#include "IWebLogNew.h"
#include "SdkCollector.h"
#include "unit/TempFolder.h"
#include "posix/SetupChild.h"

namespace {

namespace fs = std::filesystem;

const char kChildFolderVariable[] = "SETUP_SDK_CHILD_APPDATA";

// The main product id of the embedded configuration, which Setup's SDK uses.
int EmbeddedMainPid() {
  std::ifstream in(fs::path(SETUP_SOURCE_DIR) / "skin" / "configure" / "configure.xml");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::smatch match;
  return std::regex_search(text, match, std::regex("name=\"MainPid\" text=\"([0-9]+)\"")) ? std::stoi(match[1]) : 0;
}

// Port of the built-in test collector when it is a loopback host, else 0.
int BuiltInTestCollectorPort() {
  std::smatch match;
  const std::string url = DeliveryConfig::BuiltIn().testCollectorUrl;
  return std::regex_match(url, match, std::regex("https://127\\.0\\.0\\.1:([0-9]+)/collector")) ? std::stoi(match[1]) : 0;
}

// A copy of Setup in its own program folder: test.wk selects the test
// collector and the settings file trusts the collector's certificate.
fs::path InstallSetupCopy(const fs::path& folder) {
  const fs::path program = folder / "program";
  fs::create_directories(program);
  fs::copy_file(fs::path(SETUP_BIN_DIR) / "Setup", program / "Setup", fs::copy_options::overwrite_existing);
  std::ofstream(program / "test.wk") << "[Configs]\nTestEnv=1\n";
  std::ofstream(program / "ov_downloader.cfg") << "[Settings]\nCaBundle=" << (folder / "cert.pem").string() << "\n";
  return program / "Setup";
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Child mode: queues events for ever while nothing answers, printing the
// action of every event that AddEvent accepted. Skipped in a normal run.
TEST(SdkQueueChild, QueueUntilKilled) {
  const char* appData = std::getenv(kChildFolderVariable);
  if (!appData) GTEST_SKIP() << "runs only as the child of SdkNothingLost";
  FakeSystem fake;
  fake.SetEnv(L"APPDATA", platform::Utf8ToWide(appData));
  fake.SetVolumeGuid(L"0f1e2d3c-aaaa-bbbb-cccc-333344445555");
  FakeSystemGuard guard(fake);
  DeliveryConfig dead;  // nothing listens on port 1
  dead.collectorUrl = dead.testCollectorUrl = "https://127.0.0.1:1/collect";
  dead.ga4Base = "https://127.0.0.1:1";
  SdkTiming timing;
  timing.retryPauseMs = timing.idlePollMs = 5;
  SdkRuntime::Get().Configure(dead, timing);
  IWebLogNew* sdk = GetReportObj();
  sdk->Init(kSdkTypeDownloader, EmbeddedMainPid(), EmbeddedMainPid(), "", "", "Quenlo", "1.0.0.0", "");
  const std::string run = std::to_string(getpid());
  for (int i = 0; i < 100000; ++i) {
    const std::string action = "E" + run + "_" + std::to_string(i);
    const std::string json = R"({"actions":{"event_category":"NothingLost","event_action":")" + action + "\"}}";
    if (sdk->AddEvent(json.c_str(), 0) != 0) continue;
    const std::string line = "accepted " + action + "\n";
    if (write(1, line.data(), line.size()) < 0) return;
  }
}

class SdkSendRestLogs : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = BuiltInTestCollectorPort();
    if (port_ == 0) GTEST_SKIP() << "the build's test collector is not on loopback";
    ASSERT_TRUE(sdktest::MakeCertificate(temp_.path()));
    setup_ = InstallSetupCopy(temp_.path());
    fs::create_directories(temp_.path() / "appdata");  // as on Windows, APPDATA exists
    mainPid_ = EmbeddedMainPid();
    ASSERT_GT(mainPid_, 1000);
  }
  fs::path Backup() const {
    return temp_.path() / "appdata" / "RIDereDideriZOZ" / std::to_string(mainPid_) / "backup";
  }
  // Runs "Setup -sendrestlogs" with the test's APPDATA; its exit code.
  int RunSendRestLogs(std::chrono::seconds limit) {
    SetupChild child(temp_.path());
    if (!child.Start(setup_.string(), {"-sendrestlogs"}, "setup.out")) return -1;
    return child.Wait(limit);
  }
  std::string SdkLog() const {
    std::string text;
    for (const auto& entry : fs::directory_iterator(Backup().parent_path() / "logs")) text += ReadAll(entry.path());
    return text;
  }

  TempFolder temp_;
  fs::path setup_;
  int port_ = 0, mainPid_ = 0;
};

TEST_F(SdkSendRestLogs, EmptyQueueEndsAtOnce) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(RunSendRestLogs(std::chrono::seconds(30)), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));  // no 5-second poll
  const std::string log = SdkLog();
  EXPECT_NE(log.find("Read history: 0/0"), std::string::npos);
  EXPECT_NE(log.find("Send rest logs, wait end"), std::string::npos);
}

TEST_F(SdkSendRestLogs, NothingAcceptedBeforeAKillIsLost) {
  std::mt19937 random(std::random_device{}());
  std::set<std::string> accepted;
  for (int round = 0; round < 20; ++round) {
    const fs::path folder = temp_.path() / ("child" + std::to_string(round));
    fs::create_directories(folder);
    {
      SetupChild child(folder);
      child.SetEnv("APPDATA", (temp_.path() / "appdata").string());
      child.SetEnv(kChildFolderVariable, (temp_.path() / "appdata").string());
      ASSERT_TRUE(child.Start("/proc/self/exe", {"--gtest_filter=SdkQueueChild.QueueUntilKilled"}, "out.txt"));
      std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(30, 400)(random)));
    }  // SIGKILL
    std::istringstream lines(ReadAll(folder / "out.txt"));
    for (std::string word, action; lines >> word;)
      if (word == "accepted" && lines >> action) accepted.insert(action);
  }
  ASSERT_GT(accepted.size(), 20u);
  RecordProperty("accepted_events", static_cast<int>(accepted.size()));

  sdktest::Collector collector(temp_.path());
  ASSERT_TRUE(collector.Start(port_));
  ASSERT_EQ(RunSendRestLogs(std::chrono::seconds(240)), 0) << SdkLog();
  std::set<std::string> arrived;
  for (const Json::Value& request : collector.Accepted()) {
    Json::Value record;
    std::istringstream(request["body"].asString()) >> record;
    EXPECT_EQ(request["path"].asString(), "/collector");
    arrived.insert(record["actions"]["event_action"].asString());
  }
  std::vector<std::string> lost;
  for (const std::string& action : accepted)
    if (!arrived.count(action)) lost.push_back(action);
  EXPECT_TRUE(lost.empty()) << lost.size() << " of " << accepted.size() << " accepted events lost, first "
                            << lost.front() << "\nSDK log:\n" << SdkLog();

  Json::Value queue;
  Json::CharReaderBuilder strict;
  std::string errors;
  std::istringstream file(ReadAll(Backup() / "tempga.wk"));
  ASSERT_TRUE(Json::parseFromStream(strict, file, &queue, &errors)) << errors;
  EXPECT_EQ(queue["send_count"].asInt(), 0);
  EXPECT_EQ(queue["send_item"].size(), 0u);
}

}  // namespace
