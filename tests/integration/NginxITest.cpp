// Slices from a production web server: nginx on loopback (integration/Nginx.h)
// over HTTP/1.1 and over HTTPS with HTTP/2.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "download/CLibcurlTool.h"
#include "integration/Nginx.h"
#include "integration/TestPki.h"
#include "integration/TestSettings.h"
#include "unit/LogCapture.h"
#include "unit/SliceDownload.h"
#include "unit/TempFolder.h"

namespace {

constexpr int64_t kFileSize = 3 * 1048576 + 12345;

class NginxITest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder_.path() / "nginx" / "www");
    std::mt19937 random(7);
    content_.resize(kFileSize);
    for (char& byte : content_) byte = static_cast<char>(random());
    std::ofstream(folder_.path() / "nginx" / "www" / "app.exe", std::ios::binary) << content_;
    settings_.Write("CaBundle=" + pki_.caBundle().string() + "\n");
    nginx_ = std::make_unique<Nginx>(folder_.path() / "nginx", pki_.Server("nginx", "IP:127.0.0.1"));
  }

  // The file in three slices as the slice plan cuts it (the last slice's
  // EndPos is the length itself), each slice on the same handle.
  void DownloadInSlices(const std::string& url) {
    const int64_t size = kFileSize / 3;
    for (int64_t i = 0; i < 3; ++i) {
      const int64_t from = i * size, to = i == 2 ? kFileSize : (i + 1) * size - 1;
      SliceDownload slice(folder_.path() / ("slice" + std::to_string(i)), url, from, to, kFileSize);
      ASSERT_EQ(slice.Run(tool_), CURLE_OK) << i;
      ASSERT_TRUE(slice.task().isComplete()) << i;
      const int64_t count = std::min(to, kFileSize - 1) - from + 1;
      EXPECT_TRUE(slice.Written(from, static_cast<size_t>(count)) == content_.substr(from, count)) << i;
    }
  }

  TempFolder folder_;
  TestSettings settings_{folder_.path()};
  TestPki pki_{folder_.path() / "pki"};
  std::string content_;
  std::unique_ptr<Nginx> nginx_;
  CLibcurlTool tool_{curl_easy_init()};
};

TEST_F(NginxITest, SlicesOverHttp11) { DownloadInSlices(nginx_->Http("/app.exe")); }

TEST_F(NginxITest, SlicesOverHttp2WithTls) {
  char headers[CLibcurlTool::kMaxHeaderText + 1];
  long code = 0;
  ASSERT_EQ(tool_.httpGet(nginx_->Https("/app.exe").c_str(), headers, code), CURLE_OK);
  EXPECT_EQ(code, 200);
  EXPECT_EQ(std::string(headers).find("HTTP/2 200"), 0u);  // the status lines really are HTTP/2
  EXPECT_NE(std::string(headers).find("content-length: " + std::to_string(kFileSize)), std::string::npos);
  DownloadInSlices(nginx_->Https("/app.exe"));
}

TEST_F(NginxITest, WrongExpectedLengthIsRefused) {
  SliceDownload slice(folder_.path() / "slice", nginx_->Https("/app.exe"), 0, 999, kFileSize + 1);
  LogCapture log;
  EXPECT_EQ(slice.Run(tool_), CURLE_WRITE_ERROR);
  EXPECT_TRUE(log.Has(" HeaderCallback error1: " + std::to_string(kFileSize + 1) +
                      " != content-range: bytes 0-999/" + std::to_string(kFileSize)));
}

}  // namespace
