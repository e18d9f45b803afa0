// The window's two data-service fetches against the reference data service
// over HTTPS: the banner pictures, which count only when every one arrived
// and decodes, each fault of the service, hostile picture names, and the
// privacy-link table with its fallbacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "download/CLibcurlTool.h"
#include "integration/RefServices.h"
#include "integration/TestPki.h"
#include "unit/LogCapture.h"
#include "unit/MainWindowFixture.h"

namespace {

namespace fs = std::filesystem;

class DataServiceITest : public MainWindowTest {
 protected:
  DataServiceITest() {
    fs::create_directories(data_ / "pictures");
    EXPECT_TRUE(shipped_skin::Archive().ReadMember(L"skin\\anima\\1.png", &picture_));
    for (const char* name : {"one.png", "two.png", "odd.p:ng", "back.p\\ng"})
      std::ofstream(data_ / "pictures" / name, std::ios::binary) << picture_;
    std::ofstream(bed_.temp.path() / "ov_downloader.cfg")
        << "[Settings]\nServiceHost=" << services_.host() << "\nCaBundle=" << pki_.caBundle().string() << "\n";
    // The run's folders inside the test's folder: APPDATA there, and the one drive.
    bed_.fake.SetEnv(L"APPDATA", (bed_.temp.path() / "appdata").wstring());
    bed_.fake.AddDrive(bed_.temp.path().wstring() + L"/", 100ull << 30);
    analytics_.SetupPaths(L"QuenloSetupTest");
    downloadFolder_ = fs::path(analytics_.State().GetDownloadFolder());
  }

  void WriteBanners(const std::string& json) { std::ofstream(data_ / "banners.json") << json; }
  void Fault(const std::string& query) { services_.Control("/_control/data/fault?" + query); }

  // Runs the banner fetch on this (the UI) thread; true when it posted a message.
  bool FetchBanners(InstallUIMainWnd& window) {
    window.GetCbsBanner();
    return bed_.loop.PumpOnce();
  }
  std::set<std::string> DownloadedFiles() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(downloadFolder_)) names.insert(entry.path().filename().string());
    return names;
  }
  // The events that begin with `prefix`.
  size_t CountEvents(const std::string& prefix) const {
    const std::vector<std::string> events = Events();
    return static_cast<size_t>(std::count_if(events.begin(), events.end(), [&](const std::string& event) {
      return event.rfind(prefix, 0) == 0;
    }));
  }

  fs::path data_ = bed_.temp.path() / "data";
  TestPki pki_{bed_.temp.path() / "pki"};
  TestPki::Pair serverPair_ = pki_.Server("data", "IP:127.0.0.1,DNS:localhost");
  RefServices services_{RefServices::Options{{}, {}, data_, serverPair_.cert, serverPair_.key}};
  std::string picture_;
  fs::path downloadFolder_;
};

const char kTwoBanners[] =
    R"([{"banner_url":"{origin}/pictures/one.png?v=2#top","jump_url":"https://h/j","prompt":"Caf\u00e9","sort":1},)"
    R"({"banner_url":"{origin}/pictures/two.png","jump_url":"","prompt":"","sort":2}])";

TEST_F(DataServiceITest, BannersAreStoredAndAnnouncedOnlyWhenEveryPictureArrived) {
  auto window = Open();
  WriteBanners(kTwoBanners);
  LogCapture log;
  ASSERT_TRUE(FetchBanners(*window));
  EXPECT_TRUE(log.Has(" Get Banner success"));
  const std::map<int, BannerRecord> banners = window->DeliveredBanners();
  ASSERT_EQ(banners.size(), 2u);
  const BannerRecord& first = banners.at(1);
  EXPECT_EQ(first.localFile, (downloadFolder_ / "1.png").wstring());
  EXPECT_EQ(first.bannerUrl, platform::Utf8ToWide(services_.Url("/pictures/one.png?v=2#top")));
  EXPECT_EQ(first.prompt, L"Caf\u00e9");
  EXPECT_EQ(first.jumpUrl, L"https://h/j");
  EXPECT_EQ(banners.at(2).localFile, (downloadFolder_ / "2.png").wstring());
  std::ifstream delivered(downloadFolder_ / "2.png", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(delivered), {}), picture_);
  EXPECT_EQ(DownloadedFiles(), (std::set<std::string>{"1.png", "2.png"}));
  EXPECT_EQ(CountEvents("pair Download/ObtainCarouselMapTime/CarouselMapTimeInterval=[0~3]s"), 1u);
  EXPECT_EQ(CountEvents("pair Download/DownloadCarouselImagesTime/DownloadCarouselImagesTimeInterval=[0~3]s"), 2u);
  // The service accepted the signature it recomputed.
  const Json::Value requests = services_.Requests();
  ASSERT_GE(requests.size(), 1u);
  EXPECT_EQ(requests[0]["target"].asString().rfind("/api/v1/banners?lang_code=en&parent_pid=8948&timestamp=", 0), 0u);
  EXPECT_FALSE(log.Contains(" Get Cbs Ban fail: "));
  // The same query with another signature is refused.
  std::string forged = requests[0]["target"].asString();
  forged.back() = forged.back() == '0' ? '1' : '0';
  CLibcurlTool tool(curl_easy_init());
  std::string refusal;
  EXPECT_EQ(tool.httpGet(services_.Url(forged).c_str(), refusal, false), CURLE_OK);
  EXPECT_EQ(refusal, "{\"code\":403,\"msg\":\"bad signature\"}");

  // One picture of three missing: nothing is stored, nothing announced.
  auto second = Open();
  WriteBanners(std::string(kTwoBanners).insert(1, R"({"banner_url":"{origin}/pictures/gone.png","sort":3},)"));
  EXPECT_FALSE(FetchBanners(*second));
  EXPECT_TRUE(second->DeliveredBanners().empty());
  EXPECT_EQ(log.Count(" Get Banner success"), 1u);
}

TEST_F(DataServiceITest, EveryFaultOfTheServiceEndsWithoutBanners) {
  WriteBanners(kTwoBanners);
  struct Case {
    std::string fault, logLine;
    size_t answerAttempts, pictureEvents;
  };
  const std::vector<Case> cases = {
      {"mode=badsign", " Get Cbs Ban fail: {\"code\":403,\"msg\":\"bad signature\"}", 1, 0},
      {"mode=500", " Get Cbs Ban2: 0, ", 1, 0},
      {"mode=empty", " Get Cbs Ban2: 0, ", 3, 0},
      {"mode=invalid", " Get Cbs Ban2: 0, ", 1, 0},
      {"mode=shape", " [Error]: data-service answer of the wrong shape: sort is not an integer", 1, 0},
      {"mode=nopicture", " Get Cbs Ban 2 Fail 2", 1, 2},
      {"mode=notpng", " Get Cbs Ban 2 Fail 2", 1, 2},
  };
  for (const Case& c : cases) {
    auto window = Open();
    Fault(c.fault);
    report_.calls.clear();
    LogCapture log;
    EXPECT_FALSE(FetchBanners(*window)) << c.fault;
    EXPECT_TRUE(window->DeliveredBanners().empty()) << c.fault;
    const std::vector<std::string> lines = log.Lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&](const std::string& line) { return line.rfind(c.logLine, 0) == 0; }))
        << c.fault;
    EXPECT_EQ(log.Count(" Get Cbs Ban1: "), c.answerAttempts) << c.fault;
    EXPECT_EQ(CountEvents("pair Download/ObtainCarouselMapTime/CarouselMapTimeInterval=[0~3]s"), c.answerAttempts)
        << c.fault;
    EXPECT_EQ(CountEvents("pair Download/DownloadCarouselImagesTime/DownloadCarouselImagesTimeInterval=["),
              c.pictureEvents)
        << c.fault;
    EXPECT_FALSE(log.Contains(" Get Banner success")) << c.fault;
    EXPECT_TRUE(DownloadedFiles().empty()) << c.fault;  // a picture that does not decode is deleted
  }
}

// Slower than the client's five seconds: each of the three attempts times out.
TEST_F(DataServiceITest, ASlowServiceEndsWithoutBannersAfterThreeAttempts) {
  WriteBanners(kTwoBanners);
  auto window = Open();
  Fault("mode=slow&seconds=6");
  LogCapture log;
  EXPECT_FALSE(FetchBanners(*window));
  EXPECT_TRUE(window->DeliveredBanners().empty());
  EXPECT_EQ(log.Count(" Get Cbs Ban1: "), 3u);
  EXPECT_EQ(log.Count(", 28, "), 3u);  // CURLE_OPERATION_TIMEDOUT
  EXPECT_EQ(CountEvents("pair Download/ObtainCarouselMapTime/CarouselMapTimeInterval=[3~6]s"), 3u);
}

TEST_F(DataServiceITest, HostilePictureNamesNeverLeaveTheDownloadFolder) {
  WriteBanners(R"([{"banner_url":"{origin}/pictures/one.png?name=../../evil.exe","sort":1},)"
               R"({"banner_url":"{origin}/pictures/one.png#/../../evil.exe","sort":2},)"
               R"({"banner_url":"{origin}/pictures/odd.p:ng","sort":3},)"
               R"({"banner_url":"{origin}/pictures/back.p\\ng","sort":4}])");
  auto window = Open();
  ASSERT_TRUE(FetchBanners(*window));
  EXPECT_EQ(DownloadedFiles(), (std::set<std::string>{"1.png", "2.png", "3.png", "4.png"}));
  for (const auto& [sort, record] : window->DeliveredBanners())
    EXPECT_EQ(fs::path(record.localFile).parent_path(), downloadFolder_) << sort;
  for (const auto& entry : fs::recursive_directory_iterator(bed_.temp.path()))
    EXPECT_EQ(entry.path().filename().string().find("evil"), std::string::npos) << entry.path();
}

TEST_F(DataServiceITest, PrivacyLinksFillTheTableByLanguageWithFallbacks) {
  std::ofstream(data_ / "privacy.json")
      << R"([{"lang_code":"en","urls":[{"field":"tc","url":"https://h/en/terms"},{"field":"p","url":"https://h/en/privacy"}]},)"
         R"({"lang_code":"ja","urls":[{"field":"tc","url":"https://h/\u5229\u7528\u898f\u7d04"},{"field":"p","url":""}]},)"
         R"({"lang_code":"zh-cn","urls":[{"field":"tc","url":""},{"field":"p","url":"https://h/zh/privacy"},{"field":"x","url":"https://h/x"}]},)"
         R"({"lang_code":"de","urls":[{"field":"tc","url":""}]}])";
  auto window = Open();
  CConfigure& configure = window->Configure();
  const std::wstring licenseFallback = L"https://www.quenlo-example.com/terms-of-service.html";
  const std::wstring privacyFallback = L"https://www.quenlo-example.com/privacy-policy.html";

  // A refused answer leaves the fallbacks.
  Fault("mode=badsign&count=1");
  LogCapture log;
  window->GetCbsPrivacy();
  EXPECT_TRUE(log.Has(" Get Cbs tcp fail: {\"code\":403,\"msg\":\"bad signature\"}"));
  EXPECT_EQ(configure.getLicenseUrl("en"), licenseFallback);

  report_.calls.clear();
  window->GetCbsPrivacy();
  EXPECT_EQ(configure.getLicenseUrl("en"), L"https://h/en/terms");
  EXPECT_EQ(configure.getPrivacyUrl("en"), L"https://h/en/privacy");
  EXPECT_EQ(configure.getLicenseUrl("ja"), L"https://h/\u5229\u7528\u898f\u7d04");
  EXPECT_EQ(configure.getPrivacyUrl("ja"), privacyFallback);
  EXPECT_EQ(configure.getLicenseUrl("zh-cn"), licenseFallback);
  EXPECT_EQ(configure.getPrivacyUrl("zh-cn"), L"https://h/zh/privacy");
  EXPECT_EQ(configure.getLicenseUrl("fr"), licenseFallback);
  EXPECT_EQ(configure.getPrivacyUrl("fr"), privacyFallback);
  EXPECT_EQ(CountEvents("Other/FlowError/DL005"), 1u);
  EXPECT_EQ(CountEvents("pair ErrorReporting/Error/MainErrorType=DL005"), 1u);
  EXPECT_EQ(CountEvents("Other/FlowError/DL004"), 1u);
  EXPECT_EQ(CountEvents("pair StartDownloader/ObtainProtocolTime/ProtocolObtainProtocolTime=[0~3]s"), 1u);
  EXPECT_TRUE(log.Has(" Get Cbs tcp3: 2, x, 11"));
}

}  // namespace
