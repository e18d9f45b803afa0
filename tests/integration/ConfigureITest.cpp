// The download-configuration record against the reference configuration
// server: the query, its failures and their reports, the embedded fallback,
// and the asynchronous fetch racing the install worker for the record.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "analytics/SingleUserLog.h"
#include "config/CConfigure.h"
#include "integration/Nginx.h"
#include "integration/RefServices.h"
#include "integration/TestPki.h"
#include "integration/TestSettings.h"
#include "unit/LogCapture.h"
#include "unit/MapConfigReader.h"
#include "unit/RunStateGuard.h"
#include "unit/TempFolder.h"

namespace {

const char kAnswer[] =
    "<?xml version=\"1.0\"?>\n<Response><Note>before</Note>"
    "<Downloader><Software_version>3.2.1.0</Software_version>"
    "<Download_url>https://a.example/setup.exe</Download_url>"
    "<Extra_download_url>https://b.example/setup.exe</Extra_download_url>"
    "<Md5>00112233445566778899aabbccddeeff</Md5><TimeoutCfg>5,60</TimeoutCfg></Downloader>"
    "<Note>after</Note></Response>";

platform::OsVersionInfo Windows(unsigned major, unsigned minor, const wchar_t* build) {
  platform::OsVersionInfo os;
  os.ntNumbersKnown = os.versionExKnown = true;
  os.ntMajor = os.major = major;
  os.ntMinor = os.minor = minor;
  os.currentBuild = build;
  return os;
}

MapConfigReader Embedded() {
  return MapConfigReader(MapConfigReader::Entries{{L"Downloader_id", L"578"},
                                                  {L"Site_id", L"10"},
                                                  {L"Language_id", L"1033"},
                                                  {L"Software_version", L"1.0.0.0"},
                                                  {L"Download_url", L"https://embedded.example/setup.exe"}});
}

class ConfigureITest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto answers = folder_.path() / "answers";
    std::filesystem::create_directories(answers);
    std::ofstream(answers / "578.xml") << kAnswer;
    options_.answers = answers;
    settings_.system().SetOsVersion(Windows(10, 0, L"19045"));
    // As the program does at start-up: the configuration's events reach analytics.
    RunState::Shared().SetEventSink(&CSingleUserLog::GetInstance());
  }
  void TearDown() override { RunState::Shared().SetEventSink(nullptr); }
  // The server over plain HTTP, reached through the test environment switch.
  void ServeHttp() {
    services_ = std::make_unique<RefServices>(options_);
    settings_.Write("TestEnv=1\n");
    UseHosts(services_->host(), {services_->host()});
  }
  void UseHosts(const std::string& main, const std::vector<std::string>& others) {
    hosts_ = {main, others};
    record_.setHosts(hosts_);
  }
  std::string Target(Json::ArrayIndex i) { return services_->Requests()[i]["target"].asString(); }

  TempFolder folder_;
  TestSettings settings_{folder_.path()};
  RunStateGuard runState_;
  RefServices::Options options_;
  std::unique_ptr<RefServices> services_;
  CConfigure::Hosts hosts_;
  CConfigure record_{578, 1033, 10};
};

TEST_F(ConfigureITest, QueryCarriesTheIdsAndReportsItsOutcome) {
  ServeHttp();
  LogCapture log;
  ASSERT_EQ(record_.getDownloadInfoXml(true, false), CConfigure::kAnswerStored);
  EXPECT_EQ(Target(0), "/queryDownloaderV2?LanguageId=1033&SoftWareID=578&SiteID=10");
  EXPECT_EQ(record_.getQueryUrl(), "http://" + services_->host() + Target(0));
  EXPECT_TRUE(log.Has(" GetCbsInfo New interface V2(Sync test): 0, " + std::to_string(sizeof kAnswer - 1) +
                      ", Windows 10, 10"));
  EXPECT_EQ(log.Count(" [event] Other, SyncGetCbsTime, "), 1u);  // whole seconds taken
  EXPECT_TRUE(log.Has(" [funnelEx] Download, Get download configuration, Configuration URL=" +
                      services_->host() + ", Download configurationType=Success"));

  ASSERT_EQ(record_.readDownloadInfoFromXml(), CConfigure::kParsed);
  EXPECT_EQ(record_.productVersion, L"3.2.1.0");
  EXPECT_EQ(record_.connectTimeout, 5);
  EXPECT_EQ(RunState::Shared().GetTransferTimeout(), 60);

  // A stored answer is never asked for again.
  EXPECT_EQ(record_.getDownloadInfoXml(true, true), CConfigure::kNoNewAnswer);
  EXPECT_EQ(services_->Requests().size(), 1u);
}

TEST_F(ConfigureITest, PackageTypeBelowWindows10Only) {
  ServeHttp();
  settings_.system().SetOsVersion(Windows(6, 3, L"9600"));
  record_.getDownloadInfoXml(false, false);
  EXPECT_EQ(Target(0), "/queryDownloaderV2?LanguageId=1033&SoftWareID=578&SiteID=10&package_type=5");

  settings_.system().SetOsVersion(Windows(10, 0, L"22631"));  // Windows 11
  CConfigure again(578, 1033, 10);
  again.setHosts(hosts_);
  again.getDownloadInfoXml(false, false);
  EXPECT_EQ(Target(1), "/queryDownloaderV2?LanguageId=1033&SoftWareID=578&SiteID=10");
}

// The main host first; then every other host in turn until one answers
// (here the first of them refuses the connection).
TEST_F(ConfigureITest, HttpsToTheMainHostThenToEachOtherInTurn) {
  TestPki pki(folder_.path() / "pki");
  const TestPki::Pair pair = pki.Server("config", "IP:127.0.0.1,DNS:localhost");
  options_.cert = pair.cert;
  options_.key = pair.key;
  services_ = std::make_unique<RefServices>(options_);
  settings_.Write("CaBundle=" + pki.caBundle().string() + "\n");
  const std::string port = std::to_string(services_->port());
  UseHosts("127.0.0.1:" + port, {"127.0.0.1:" + std::to_string(nginx_test::FreePort()), "localhost:" + port});
  services_->Control("/_control/config/fault?mode=404&count=1");
  LogCapture log;
  EXPECT_EQ(record_.getDownloadInfoXml(false, false), CConfigure::kNoNewAnswer);
  EXPECT_TRUE(log.Contains(" GetCbsInfo New interface V2(Async com): 0, 0, "));
  EXPECT_EQ(record_.getDownloadInfoXml(false, true), CConfigure::kAnswerStored);
  EXPECT_EQ(log.Count(" GetCbsInfo New interface V2(Async cn): 7, 0, "), 1u);  // refused
  EXPECT_EQ(record_.getQueryUrl(), "https://localhost:" + port + Target(1));
  EXPECT_EQ(services_->Requests()[1]["headers"]["Host"].asString(), "localhost:" + port);
  EXPECT_TRUE(log.Contains(" GetCbsInfo New interface V2(Async cn): 0, "));
  EXPECT_TRUE(log.Contains("Configuration URL=localhost:" + port));
}

TEST_F(ConfigureITest, UnusableAnswersStoreNothing) {
  ServeHttp();
  LogCapture log;
  for (const char* mode : {"404", "nodownloader", "garbage"}) {
    services_->Control(std::string("/_control/config/fault?mode=") + mode);
    EXPECT_EQ(record_.getDownloadInfoXml(true, false), CConfigure::kNoNewAnswer) << mode;
    EXPECT_EQ(record_.readDownloadInfoFromXml(), CConfigure::kParseFailed) << mode;
  }
  EXPECT_FALSE(log.Contains("FlowError"));
}

TEST_F(ConfigureITest, TimeOutIsReportedAsDL002) {
  ServeHttp();
  services_->Control("/_control/config/fault?mode=silent&seconds=7");
  LogCapture log;
  EXPECT_EQ(record_.getDownloadInfoXml(true, false), CConfigure::kNoNewAnswer);
  EXPECT_TRUE(log.Has(" [event] Other, FlowError, DL002"));
  EXPECT_TRUE(log.Contains(" GetCbsInfo New interface V2(Sync test): 28, 0, "));
}

TEST_F(ConfigureITest, UnresolvedHostIsReportedAsDL003) {
  settings_.Write("TestEnv=1\n");
  UseHosts("nonexistent.invalid", {"nonexistent.invalid"});
  LogCapture log;
  EXPECT_EQ(record_.getDownloadInfoXml(true, false), CConfigure::kNoNewAnswer);
  EXPECT_TRUE(log.Has(" [event] Other, FlowError, DL003"));
}

TEST_F(ConfigureITest, WorkerFallsBackToTheEmbeddedConfiguration) {
  ServeHttp();
  services_->Control("/_control/config/fault?mode=404");
  MapConfigReader embedded = Embedded();
  int handOvers = 0;
  LogCapture log;
  record_.completeForInstall(embedded, [&] { ++handOvers; });
  EXPECT_EQ(record_.loadState, CConfigure::kLoaded);
  EXPECT_EQ(record_.source, CConfigure::kFromFile);
  EXPECT_EQ(record_.downloadUrlList, std::vector<std::wstring>{L"https://embedded.example/setup.exe"});
  EXPECT_EQ(handOvers, 1);
  EXPECT_EQ(services_->Requests().size(), 2u);
  EXPECT_TRUE(log.Has(" Configure Load From File! "));
}

TEST_F(ConfigureITest, AsyncFetchTriesTheSecondaryHostThenTheWorkerAsksNothing) {
  ServeHttp();
  services_->Control("/_control/config/fault?mode=404&count=1");
  int handOvers = 0;
  record_.fetchAsync([&] { ++handOvers; });
  EXPECT_EQ(handOvers, 1);
  EXPECT_EQ(record_.source, CConfigure::kFromXml);

  MapConfigReader embedded = Embedded();
  LogCapture log;
  record_.completeForInstall(embedded, [&] { ++handOvers; });
  EXPECT_EQ(handOvers, 1);
  EXPECT_EQ(services_->Requests().size(), 2u);
  EXPECT_TRUE(log.Has(" Configure Load From XML! "));
}

TEST_F(ConfigureITest, AbandonedAsyncFetchLeavesTheRecordAlone) {
  ServeHttp();
  MapConfigReader embedded = Embedded();
  record_.completeForInstall(embedded, nullptr);
  int handOvers = 0;
  LogCapture log;
  record_.fetchAsync([&] { ++handOvers; });
  EXPECT_EQ(handOvers, 0);
  EXPECT_TRUE(log.Has(" GetDownloaderInfo(Async) abandon"));
}

// The asynchronous fetch and the install worker start together, many times,
// the worker a little later from round to round: exactly one of them parses,
// and the record always holds the whole answer.
TEST_F(ConfigureITest, AsyncFetchAndWorkerRaceWithoutTearingTheRecord) {
  ServeHttp();
  MapConfigReader embedded = Embedded();
  int asyncParses = 0, workerParses = 0;
  for (int round = 0; round < 150; ++round) {
    CConfigure record(578, 1033, 10);
    record.setHosts(hosts_);
    std::atomic<int> asyncHandOvers{0}, workerHandOvers{0};
    std::atomic<bool> go{false};
    std::thread async([&] {
      while (!go) std::this_thread::yield();
      record.fetchAsync([&] { ++asyncHandOvers; });
    });
    std::thread worker([&] {
      while (!go) std::this_thread::yield();
      std::this_thread::sleep_for(std::chrono::microseconds(500 * (round % 25)));
      record.completeForInstall(embedded, [&] { ++workerHandOvers; });
    });
    go = true;
    async.join();
    worker.join();
    ASSERT_EQ(record.loadState, CConfigure::kLoaded) << round;
    ASSERT_EQ(record.source, CConfigure::kFromXml) << round;
    ASSERT_EQ(record.downloadUrlList,
              (std::vector<std::wstring>{L"https://a.example/setup.exe", L"https://b.example/setup.exe"}))
        << round;
    ASSERT_EQ(record.productVersion, L"3.2.1.0") << round;
    ASSERT_EQ(record.md5, L"00112233445566778899aabbccddeeff") << round;
    ASSERT_EQ(asyncHandOvers + workerHandOvers, 1) << round;
    asyncParses += asyncHandOvers;
    workerParses += workerHandOvers;
  }
  // Both orders occurred.
  EXPECT_GT(asyncParses, 0);
  EXPECT_GT(workerParses, 0);
}

}  // namespace
