// The reference alert service as the install worker's error reports reach it:
// a form POST through the installer's own HTTP client, recorded field by
// field, so that a value whose "&" was not encoded shows as a split field.
#include <gtest/gtest.h>

#include "download/CLibcurlTool.h"
#include "integration/RefServices.h"

namespace {

TEST(AlertServiceITest, RecordsEachFormFieldDecoded) {
  RefServices services(RefServices::Options{});
  CLibcurlTool tool(curl_easy_init());
  std::string response;
  const std::string url = services.Url("/api/exception/send");
  ASSERT_EQ(tool.HttpPost(url,
                          "pid=578&type=2&exception_code=Hash_Check_Fail_Cfg1&other="
                          "http%3A%2F%2Fcfg%2FqueryDownloaderV2%3Flang%3Den%26id%3D1%2Chttps%3A%2F%2Fdl%2Fq%20x.exe",
                          response, nullptr),
            CURLE_OK);
  EXPECT_EQ(response, "{\"code\":0,\"msg\":\"received\"}");
  ASSERT_EQ(tool.HttpPost(url, "pid=578&other=http://cfg/q?lang=en&id=1,https://dl/x.exe&pid=579", response,
                          nullptr),
            CURLE_OK);

  const Json::Value reports = services.AlertReports();
  ASSERT_EQ(reports.size(), 2u);
  const Json::Value& form = reports[0]["form"];
  EXPECT_EQ(form.getMemberNames(), (std::vector<std::string>{"exception_code", "other", "pid", "type"}));
  EXPECT_EQ(form["pid"].asString(), "578");
  EXPECT_EQ(form["exception_code"].asString(), "Hash_Check_Fail_Cfg1");
  EXPECT_EQ(form["other"].asString(), "http://cfg/queryDownloaderV2?lang=en&id=1,https://dl/q x.exe");
  // Unencoded, the query's "&" splits the field.
  EXPECT_EQ(reports[1]["form"]["other"].asString(), "http://cfg/q?lang=en");
  EXPECT_EQ(reports[1]["form"]["id"].asString(), "1,https://dl/x.exe");
  const Json::Value& pids = reports[1]["form"]["pid"];
  ASSERT_TRUE(pids.isArray());
  EXPECT_EQ(pids.size(), 2u);
  EXPECT_EQ(pids[0].asString() + "," + pids[1].asString(), "578,579");
}

}  // namespace
