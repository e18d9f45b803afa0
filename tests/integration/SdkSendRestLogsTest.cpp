// The "-sendrestlogs" mode of a real Setup copy and its time limit, and the
// queue file's promises: events accepted by processes that were killed at
// random moments while the collector was down all arrive once Setup sends
// the backlog, and two processes sharing the file deliver each item once.
#include <unistd.h>

#include <map>
#include <random>
#include <regex>
#include <set>

#include "IWebLogNew.h"
#include "SdkCollector.h"
#include "integration/Nginx.h"
#include "unit/TempFolder.h"
#include "unit/WaitUntil.h"
#include "posix/SetupChild.h"

namespace {

namespace fs = std::filesystem;

// What a child process of these tests is given: its APPDATA, the
// collector's address (none: a port where nothing listens) and the time
// limit and pause of "-sendrestlogs".
const char kChildFolderVariable[] = "SETUP_SDK_CHILD_APPDATA";
const char kChildCollectorVariable[] = "SETUP_SDK_CHILD_COLLECTOR";
const char kChildRestLimitVariable[] = "SETUP_SDK_CHILD_REST_LIMIT_MS";
const char kChildRestPollVariable[] = "SETUP_SDK_CHILD_REST_POLL_MS";
const char kProgramName[] = "Setup_123456789012345678.exe";  // 18-digit cross-end id

// The main product id of the embedded configuration, which Setup's SDK uses.
int EmbeddedMainPid() {
  std::ifstream in(fs::path(SETUP_SOURCE_DIR) / "skin" / "configure" / "configure.xml");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::smatch match;
  return std::regex_search(text, match, std::regex("name=\"MainPid\" text=\"([0-9]+)\"")) ? std::stoi(match[1]) : 0;
}

// A copy of Setup in its own program folder: test.wk selects the test
// collector, and the settings file of this build for tests sends the
// analytics to the loopback collector's port and trusts its certificate.
fs::path InstallSetupCopy(const fs::path& folder, int collectorPort) {
  const fs::path program = folder / "program";
  fs::create_directories(program);
  fs::copy_file(fs::path(SETUP_BIN_DIR) / "Setup", program / "Setup", fs::copy_options::overwrite_existing);
  std::ofstream(program / "test.wk") << "[Configs]\nTestEnv=1\n";
  std::ofstream(program / "ov_downloader.cfg") << "[Settings]\nCaBundle=" << (folder / "cert.pem").string()
                                               << "\nAnalyticsHost=127.0.0.1:" << collectorPort << "\n";
  return program / "Setup";
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string EventJson(const std::string& category, const std::string& action) {
  return R"({"actions":{"event_category":")" + category + R"(","event_action":")" + action + "\"}}";
}

void Print(const std::string& line) {
  if (write(1, (line + "\n").data(), line.size() + 1) < 0) std::abort();
}

// Child mode: the SDK of this process set up like a Setup copy in the
// working folder (whose settings file may trust the collector). Skipped
// unless the process is a child of SdkSendRestLogs.
class SdkQueueChild : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* appData = std::getenv(kChildFolderVariable);
    if (!appData) GTEST_SKIP() << "runs only as a child of SdkSendRestLogs";
    fake_.SetEnv(L"APPDATA", platform::Utf8ToWide(appData));
    fake_.SetVolumeGuid(L"0f1e2d3c-aaaa-bbbb-cccc-333344445555");
    fake_.SetModulePath((fs::current_path() / kProgramName).wstring());
    const char* collector = std::getenv(kChildCollectorVariable);
    const std::string base = collector ? collector : "https://127.0.0.1:1";
    DeliveryConfig config;
    config.collectorUrl = base + "/collect";
    config.testCollectorUrl = base + "/collector";
    config.ga4Base = base;
    SdkTiming timing;
    timing.retryPauseMs = timing.idlePollMs = 5;
    timing.restPollMs = 50;
    if (const char* limit = std::getenv(kChildRestLimitVariable)) timing.restLimitMs = std::atoi(limit);
    if (const char* poll = std::getenv(kChildRestPollVariable)) timing.restPollMs = std::atoi(poll);
    SdkRuntime::Get().Configure(config, timing);
    sdk_ = GetReportObj();
    sdk_->Init(kSdkTypeDownloader, EmbeddedMainPid(), EmbeddedMainPid(), "", "", "Quenlo", "1.0.0.0", "");
  }
  // Unique in the test: the process id and a number.
  static std::string Action(const char* letter, int i) {
    return letter + std::to_string(getpid()) + "_" + std::to_string(i);
  }

  FakeSystem fake_;
  FakeSystemGuard guard_{fake_};
  IWebLogNew* sdk_ = nullptr;
};

// Queues events while nothing answers, printing the action of every event
// that AddEvent accepted, until it is killed. Paced, so that the backlog of
// all children stays within what one "-sendrestlogs" run delivers to the
// loopback collector in well under a minute.
TEST_F(SdkQueueChild, QueueUntilKilled) {
  for (int i = 0; i < 100000; ++i) {
    const std::string action = Action("E", i);
    if (sdk_->AddEvent(EventJson("NothingLost", action).c_str(), 0) == 0) Print("accepted " + action);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Started with "-sendrestlogs": Init sends the backlog and ends the process.
TEST_F(SdkQueueChild, SendRestLogs) { FAIL() << "Init returned in the \"-sendrestlogs\" mode"; }

// Takes on the backlog at Init, queues events of its own (some delivered at
// once), waits until everything is delivered and prints the actions it queued.
TEST_F(SdkQueueChild, QueueAndDeliver) {
  for (int i = 0; i < 30; ++i) {
    const std::string action = Action("C", i);
    const int result = sdk_->AddEvent(EventJson("Shared", action).c_str(), i % 3 == 0);
    if (result == 0 || result == -2) Print("accepted " + action);  // -2: queued for later
  }
  Print(WaitUntil([] { return SdkRuntime::Get().Queue().Idle(); }, std::chrono::seconds(90)) ? "idle" : "busy");
}

class SdkSendRestLogs : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = nginx_test::FreePort();
    ASSERT_TRUE(sdktest::MakeCertificate(temp_.path()));
    setup_ = InstallSetupCopy(temp_.path(), port_);
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
  // A copy of this program running the child test SdkQueueChild.<test>
  // with the test's APPDATA; its output goes to "out.txt" of its folder.
  bool StartChild(SetupChild& child, const std::string& test, const std::vector<std::string>& more = {}) const {
    const std::string appData = (temp_.path() / "appdata").string();
    child.SetEnv("APPDATA", appData);
    child.SetEnv(kChildFolderVariable, appData);
    std::vector<std::string> args{"--gtest_filter=SdkQueueChild." + test};
    args.insert(args.end(), more.begin(), more.end());
    return child.Start("/proc/self/exe", args, "out.txt");
  }
  static std::set<std::string> AcceptedBy(const fs::path& childFolder) {
    std::set<std::string> accepted;
    std::istringstream lines(ReadAll(childFolder / "out.txt"));
    for (std::string word, action; lines >> word;)
      if (word == "accepted" && lines >> action) accepted.insert(action);
    return accepted;
  }
  // Entries left by an earlier run: events "Backlog"/"B<i>".
  std::set<std::string> WriteBacklog(int count) const {
    fs::create_directories(Backup());
    CQueueFile file((Backup() / "tempga.wk").wstring());
    std::set<std::string> actions;
    for (int i = 0; i < count; ++i) {
      const std::string action = "B" + std::to_string(i);
      const std::string record = R"({"actions":{"event_action":")" + action +
                                 R"(","event_category":"Backlog"},"common":{"cross_end_id":"","source_type":"downloader"}})";
      EXPECT_TRUE(file.Add("2::" + std::to_string(1700000000000 + i * 1000) + "::Backlog::" + action, record));
      actions.insert(action);
    }
    return actions;
  }
  static std::map<std::string, int> Arrivals(const sdktest::Collector& collector) {
    std::map<std::string, int> arrivals;
    for (const Json::Value& request : collector.Accepted()) {
      Json::Value record;
      std::istringstream(request["body"].asString()) >> record;
      ++arrivals[record["actions"]["event_action"].asString()];
    }
    return arrivals;
  }

  TempFolder temp_;
  fs::path setup_;
  int port_ = 0, mainPid_ = 0;
};

// Not one pause: each would last an hour here.
TEST_F(SdkSendRestLogs, EmptyQueueEndsAtOnce) {
  SetupChild child(temp_.path() / "child");
  child.SetEnv(kChildRestPollVariable, "3600000");
  child.SetEnv(kChildRestLimitVariable, "3600000");
  ASSERT_TRUE(StartChild(child, "SendRestLogs", {"-sendrestlogs"}));
  EXPECT_EQ(child.Wait(std::chrono::seconds(60)), 0) << "it never ended: it paused for the queue";
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
      ASSERT_TRUE(StartChild(child, "QueueUntilKilled"));
      const size_t before = std::uniform_int_distribution<size_t>(1, 40)(random);
      EXPECT_TRUE(WaitUntil([&] { return AcceptedBy(folder).size() >= before; }))
          << "the child never accepted " << before << " events";
    }  // SIGKILL
    const std::set<std::string> more = AcceptedBy(folder);
    accepted.insert(more.begin(), more.end());
  }
  ASSERT_GT(accepted.size(), 20u);
  RecordProperty("accepted_events", static_cast<int>(accepted.size()));

  sdktest::Collector collector(temp_.path());
  ASSERT_TRUE(collector.Start(port_));
  ASSERT_EQ(RunSendRestLogs(std::chrono::seconds(240)), 0) << SdkLog();
  for (const Json::Value& request : collector.Accepted()) EXPECT_EQ(request["path"].asString(), "/collector");
  const std::map<std::string, int> arrived = Arrivals(collector);
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
  for (const Json::Value& entry : queue["send_item"])
    EXPECT_EQ(entry["task_status"].asInt(), CQueueFile::kStatusDelivered) << entry["task_guid"].asString();
}

// Nothing answers: "-sendrestlogs" gives up at its time limit and leaves
// the backlog in the queue file for the next run.
TEST_F(SdkSendRestLogs, EndsAtItsTimeLimitWhileTheCollectorStaysDown) {
  WriteBacklog(5);
  SetupChild child(temp_.path() / "child");
  child.SetEnv(kChildRestLimitVariable, "1500");
  ASSERT_TRUE(StartChild(child, "SendRestLogs", {"-sendrestlogs"}));
  EXPECT_EQ(child.Wait(std::chrono::seconds(60)), 0);
  EXPECT_EQ(CQueueFile((Backup() / "tempga.wk").wstring()).Pending(nullptr).size(), 5u);
  EXPECT_NE(SdkLog().find("Send rest logs, time is up"), std::string::npos) << SdkLog();
}

// Two processes (an AutoRun copy and a second installer, say) take on the
// same backlog and queue events of their own into the same file at once.
TEST_F(SdkSendRestLogs, TwoProcessesSharingTheQueueFileDeliverEachItemOnce) {
  const std::set<std::string> backlog = WriteBacklog(60);
  sdktest::Collector collector(temp_.path());
  ASSERT_TRUE(collector.Start());
  const fs::path folders[] = {temp_.path() / "one", temp_.path() / "two"};
  std::vector<std::unique_ptr<SetupChild>> children;
  for (const fs::path& folder : folders) {
    fs::create_directories(folder);
    std::ofstream(folder / "ov_downloader.cfg") << "[Settings]\nCaBundle=" << (temp_.path() / "cert.pem").string() << "\n";
    children.push_back(std::make_unique<SetupChild>(folder));
    children.back()->SetEnv(kChildCollectorVariable, collector.Base());
  }
  for (auto& child : children) ASSERT_TRUE(StartChild(*child, "QueueAndDeliver"));
  std::set<std::string> expected = backlog;
  for (size_t i = 0; i < children.size(); ++i) {
    ASSERT_EQ(children[i]->Wait(std::chrono::seconds(120)), 0);
    const std::string output = ReadAll(folders[i] / "out.txt");
    EXPECT_NE(output.find("idle"), std::string::npos) << output;
    const std::set<std::string> own = AcceptedBy(folders[i]);
    EXPECT_EQ(own.size(), 30u);
    expected.insert(own.begin(), own.end());
  }
  const std::map<std::string, int> arrivals = Arrivals(collector);
  for (const std::string& action : expected) {
    const auto found = arrivals.find(action);
    EXPECT_EQ(found == arrivals.end() ? 0 : found->second, 1) << action;
  }
  EXPECT_EQ(arrivals.size(), expected.size());
  EXPECT_TRUE(CQueueFile((Backup() / "tempga.wk").wstring()).Pending(nullptr).empty());
}

}  // namespace
