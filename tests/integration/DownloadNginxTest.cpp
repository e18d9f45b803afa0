// The download engine against nginx (integration/Nginx.h): a whole package
// over HTTP/1.1 and over HTTPS with HTTP/2 (lower-case header names), and a
// resume that asks only for what is missing.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "download/DownLoadImpl.h"
#include "download/DownloadEvents.h"
#include "analytics/SingleUserLog.h"
#include "integration/Nginx.h"
#include "integration/TestPki.h"
#include "integration/TestSettings.h"
#include "platform/Platform.h"
#include "unit/TempFolder.h"

namespace {

constexpr int64_t kSize = 9 * 1048576 + 4321;

class DownloadNginx : public ::testing::Test {
 protected:
  void SetUp() override {
    curl_global_init(CURL_GLOBAL_ALL);
    std::filesystem::create_directories(folder_.path() / "nginx" / "www");
    std::mt19937 random(11);
    content_.resize(kSize);
    for (char& byte : content_) byte = static_cast<char>(random());
    std::ofstream(folder_.path() / "nginx" / "www" / "package.exe", std::ios::binary) << content_;
    settings_.Write("CaBundle=" + pki_.caBundle().string() + "\n");
    nginx_ = std::make_unique<Nginx>(folder_.path() / "nginx", pki_.Server("nginx", "IP:127.0.0.1"));
    DownloadEvents::SetSink([](const std::string&, const std::string&, const std::string&,
                               const std::string&, const std::string&, const std::string&) {});
    target_ = folder_.path() / "package.exe";
  }
  void TearDown() override {
    nginx_.reset();
    DownloadEvents::SetSink(nullptr);
    CSingleUserLog::GetInstance().SetSliceNum(0);
    curl_global_cleanup();
  }
  int download(const std::string& url) {
    std::string cdnInfo;
    return CDownLoadImpl::SuperDownloadFile(platform::AnsiToWide(url).c_str(),
                                            target_.wstring().c_str(), cdnInfo, true);
  }
  std::string written() const {
    std::ifstream in(target_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  size_t accessLogLines() const {
    std::ifstream in(folder_.path() / "nginx" / "access.log");
    size_t lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    return lines;
  }

  TempFolder folder_;
  TestSettings settings_{folder_.path()};
  TestPki pki_{folder_.path() / "pki"};
  std::string content_;
  std::unique_ptr<Nginx> nginx_;
  std::filesystem::path target_;
};

}  // namespace

TEST_F(DownloadNginx, WholePackageOverHttp11) {
  ASSERT_EQ(download(nginx_->Http("/package.exe")), 1);
  EXPECT_TRUE(written() == content_);
}

TEST_F(DownloadNginx, WholePackageOverHttp2WithTls) {
  ASSERT_EQ(download(nginx_->Https("/package.exe")), 1);
  EXPECT_TRUE(written() == content_);
}

TEST_F(DownloadNginx, ResumeAsksOnlyForTheMissingSlice) {
  CSingleUserLog::GetInstance().SetSliceNum(3);
  const std::string url = nginx_->Http("/package.exe?resume");
  ASSERT_EQ(download(url), 1);
  // Slice 3 lost its second half, and its bytes on disk are spoiled.
  const int64_t third = kSize / 3 * 2;
  std::ifstream in(target_.string() + ".xml");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  const std::string done = "<DownloadedPos>" + std::to_string(kSize) + "</DownloadedPos>";
  text.replace(text.find(done), done.size(), "<DownloadedPos>" + std::to_string(third + 1000) + "</DownloadedPos>");
  std::ofstream(target_.string() + ".xml") << text;
  std::filesystem::resize_file(target_, static_cast<uintmax_t>(third + 1000));
  const size_t before = accessLogLines();
  ASSERT_EQ(download(url), 1);
  EXPECT_EQ(accessLogLines() - before, 1u);
  EXPECT_TRUE(written() == content_);
}
