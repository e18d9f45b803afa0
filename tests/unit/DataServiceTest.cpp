// The data service's signed queries, the time buckets of their durations,
// the two answer parsers and the banner file names.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "LogCapture.h"
#include "WindowTestBed.h"
#include "config/DataServiceAnswer.h"
#include "system/FuntionImpl.h"
#include "window/Language.h"

namespace {

using DataServiceAnswer::Result;

// The signatures were computed apart from the program (md5 of the query and the salt).
TEST(DataServiceTest, QueriesCarryTheMd5OfTheQueryAndTheSalt) {
  EXPECT_EQ(FuntionImpl::BannerQuery(8948, GetLanguageCode(English), 1700000000),
            "lang_code=en&parent_pid=8948&timestamp=1700000000&type=1&verify=4cbd4ff26fc6c864171876ee29cb4d45");
  EXPECT_EQ(FuntionImpl::BannerQuery(8948, GetLanguageCode(Chinese), 1765324800),
            "lang_code=zh-cn&parent_pid=8948&timestamp=1765324800&type=1&verify=e565783231c11b9833abb674adb4d02e");
  EXPECT_EQ(FuntionImpl::PrivacyQuery(8948, 1700000000),
            "parent_pid=8948&timestamp=1700000000&verify=a6b9bec632d3fae481f8d206df799276");
}

// The addresses go to the settings' service host in test builds and log their query.
TEST(DataServiceTest, AddressesGoToTheServiceHostAndLogTheirQuery) {
  WindowTestBed bed;
  std::ofstream(bed.temp.path() / "ov_downloader.cfg") << "[Settings]\nServiceHost=127.0.0.1:8443\n";
  LogCapture log;
  const std::string banners = FuntionImpl::GetBannerPicUrl(8948, GetLanguageCode(Japanese));
  const std::string privacy = FuntionImpl::GetPrivacyUrl(-1);
  const std::string bannerPrefix = "https://127.0.0.1:8443/api/v1/banners?";
  const std::string privacyPrefix = "https://127.0.0.1:8443/api/v1/user_privacy_info?";
  ASSERT_EQ(banners.rfind(bannerPrefix, 0), 0u) << banners;
  ASSERT_EQ(privacy.rfind(privacyPrefix, 0), 0u) << privacy;
  const std::string bannerQuery = banners.substr(bannerPrefix.size());
  EXPECT_EQ(bannerQuery.rfind("lang_code=ja&parent_pid=8948&timestamp=", 0), 0u);
  EXPECT_TRUE(log.Has(" BAN: " + bannerQuery));
  EXPECT_TRUE(log.Has(" TCP: " + privacy.substr(privacyPrefix.size())));
  EXPECT_EQ(privacy.rfind(privacyPrefix + "parent_pid=-1&timestamp=", 0), 0u);
}

TEST(DataServiceTest, DurationsFallIntoBucketsOfThreeSeconds) {
  const std::vector<std::pair<int64_t, std::string>> cases = {
      {0, "[0~3]s"}, {2, "[0~3]s"}, {3, "[3~6]s"}, {4, "[3~6]s"}, {6, "[6~9]s"}, {601, "[600~603]s"}};
  for (const auto& [seconds, text] : cases) EXPECT_EQ(FuntionImpl::TimeBucketText(seconds, "s"), text) << seconds;
}

TEST(DataServiceTest, BannerAnswersAreReadWholeOrNotAtAll) {
  std::vector<DataServiceAnswer::Banner> banners;
  std::string error;
  ASSERT_EQ(DataServiceAnswer::ParseBanners(
                R"([{"banner_url":"https://h/1.jpg","jump_url":"https://h/j","prompt":"Caf\u00e9","sort":1},)"
                R"({"banner_url":"","sort":2.0}])",
                &banners, &error),
            DataServiceAnswer::kOk);
  ASSERT_EQ(banners.size(), 2u);
  EXPECT_EQ(banners[0].bannerUrl, "https://h/1.jpg");
  EXPECT_EQ(banners[0].jumpUrl, "https://h/j");
  EXPECT_EQ(banners[0].prompt, "Caf\xc3\xa9");
  EXPECT_EQ(banners[0].sort, 1);
  EXPECT_EQ(banners[1].sort, 2);

  const std::vector<std::pair<std::string, Result>> failures = {
      {"", DataServiceAnswer::kNotJson},
      {"[{\"banner_url\": ", DataServiceAnswer::kNotJson},
      {std::string(5000, '[') + std::string(5000, ']'), DataServiceAnswer::kNotJson},
      {R"({"code":403,"msg":"bad signature"})", DataServiceAnswer::kRefused},
      {R"({"code":"200"})", DataServiceAnswer::kRefused},
      {R"([{"code":200,"banner_url":"https://h/1.png","sort":1}])", DataServiceAnswer::kRefused},
      {R"({"code":200})", DataServiceAnswer::kWrongShape},
      {R"({"msg":"no code"})", DataServiceAnswer::kWrongShape},
      {R"("text")", DataServiceAnswer::kWrongShape},
      {R"([{"banner_url":"https://h/1.png","sort":1}, 7])", DataServiceAnswer::kWrongShape},
      {R"([{"banner_url":"https://h/1.png","sort":"1"}])", DataServiceAnswer::kWrongShape},
      {R"([{"banner_url":"https://h/1.png","sort":1.5}])", DataServiceAnswer::kWrongShape},
      {R"([{"banner_url":"https://h/1.png"}])", DataServiceAnswer::kWrongShape},
      {R"([{"banner_url":["https://h/1.png"],"sort":1}])", DataServiceAnswer::kWrongShape},
      {R"([{"banner_url":"https://h/1.png","prompt":{},"sort":1}])", DataServiceAnswer::kWrongShape},
  };
  for (const auto& [text, expected] : failures) {
    banners.assign(1, DataServiceAnswer::Banner{});
    EXPECT_EQ(DataServiceAnswer::ParseBanners(text, &banners, &error), expected) << text.substr(0, 80);
    EXPECT_TRUE(banners.empty()) << text.substr(0, 80);
  }
}

TEST(DataServiceTest, PrivacyAnswersAreReadWholeOrNotAtAll) {
  std::vector<DataServiceAnswer::LanguageLinks> links;
  std::string error;
  ASSERT_EQ(DataServiceAnswer::ParsePrivacyLinks(
                R"([{"lang_code":"ja","urls":[{"field":"tc","url":"https://h/\u5229\u7528"},{"field":"p"}]},)"
                R"({"lang_code":"en"}])",
                &links, &error),
            DataServiceAnswer::kOk);
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[0].langCode, "ja");
  ASSERT_EQ(links[0].urls.size(), 2u);
  EXPECT_EQ(links[0].urls[0].url, "https://h/\xe5\x88\xa9\xe7\x94\xa8");
  EXPECT_EQ(links[0].urls[1].field, "p");
  EXPECT_EQ(links[0].urls[1].url, "");
  EXPECT_TRUE(links[1].urls.empty());

  const std::vector<std::pair<std::string, Result>> failures = {
      {"{", DataServiceAnswer::kNotJson},
      {R"({"code":500})", DataServiceAnswer::kRefused},
      {R"({"lang_code":"en"})", DataServiceAnswer::kWrongShape},
      {R"(["en"])", DataServiceAnswer::kWrongShape},
      {R"([{"lang_code":7,"urls":[]}])", DataServiceAnswer::kWrongShape},
      {R"([{"lang_code":"en","urls":{"field":"tc","url":"https://h/tc"}}])", DataServiceAnswer::kWrongShape},
      {R"([{"lang_code":"en","urls":["https://h/tc"]}])", DataServiceAnswer::kWrongShape},
      {R"([{"lang_code":"en","urls":[{"field":"tc","url":5}]}])", DataServiceAnswer::kWrongShape},
  };
  for (const auto& [text, expected] : failures) {
    links.assign(1, DataServiceAnswer::LanguageLinks{});
    EXPECT_EQ(DataServiceAnswer::ParsePrivacyLinks(text, &links, &error), expected) << text;
    EXPECT_TRUE(links.empty()) << text;
  }
}

// Only the last path segment's extension counts, and only when it is 1 to 5
// letters or digits: no query, fragment, separator or stream name gets in.
TEST(DataServiceTest, BannerFileNamesComeFromTheLastPathSegmentOnly) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"https://h/p/banner.jpg", "3.jpg"},
      {"https://h/p/banner.WebP?size=2", "3.WebP"},
      {"https://h/p/banner.png?name=x.exe", "3.png"},
      {"https://h/p/banner?name=x.exe", "3.png"},
      {"https://h/p/banner#x.exe", "3.png"},
      {"https://h/p.d/banner", "3.png"},
      {"https://h.example.com", "3.png"},
      {"https://h/p/banner.p:ng", "3.png"},
      {"https://h/p/a\\b.png", "3.png"},
      {"https://h/p/b.png\\..\\..\\x", "3.png"},
      {"https://h/p/b.abcdef", "3.png"},
      {"https://h/p/b.", "3.png"},
      {"https://h/p/b.j\xc3\xa9g", "3.png"},
      {"https://h/../../b.gif", "3.gif"},
  };
  for (const auto& [url, name] : cases) EXPECT_EQ(DataServiceAnswer::BannerFileName(3, url), name) << url;
  EXPECT_EQ(DataServiceAnswer::BannerFileName(-2, "https://h/b.bmp"), "-2.bmp");
}

}  // namespace
