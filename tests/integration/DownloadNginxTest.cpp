// The download engine against nginx (integration/Nginx.h): a whole package
// over HTTP/1.1 and over HTTPS with HTTP/2 (lower-case header names), a
// resume that asks only for what is missing, and servers that answer part
// of the requests with errors or with the whole file.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "download/CDownloader.h"
#include "download/DownLoadImpl.h"
#include "download/DownloadEvents.h"
#include "runstate/RunState.h"
#include "integration/ByteRanges.h"
#include "integration/Nginx.h"
#include "integration/TestPki.h"
#include "integration/TestSettings.h"
#include "platform/Platform.h"
#include "unit/TempFolder.h"

namespace {

constexpr int64_t kSize = 9 * 1048576 + 4321;

// Locations whose faults hit a random 40 % of the requests (probes too):
// 503, 404, or the whole file despite the range. "/limited/" refuses with
// 503 what exceeds 20 requests a second, as limit_req does under load;
// "/norange/" has no range support at all.
const char kFaultsHttp[] =
    "  split_clients \"${request_id}\" $fault { 40% fail; * ok; }\n"
    "  limit_req_zone $binary_remote_addr zone=slices:1m rate=20r/s;\n"
    "  log_format ranges \"$http_range\";\n  access_log ranges.log ranges;\n";
const char kFaultsServer[] =
    "    location /err503/ { alias www/; if ($fault = fail) { return 503; } }\n"
    "    location /err404/ { alias www/; if ($fault = fail) { return 404; } }\n"
    "    location /whole/ { alias www/; if ($fault = fail) { rewrite ^/whole/(.*)$ /norange/$1 last; } }\n"
    "    location /norange/ { alias www/; max_ranges 0; }\n"
    "    location /limited/ { alias www/; limit_req zone=slices; }\n";
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
    nginx_ = std::make_unique<Nginx>(folder_.path() / "nginx", pki_.Server("nginx", "IP:127.0.0.1"),
                                     kFaultsHttp, kFaultsServer);
    DownloadEvents::SetSink([](const std::string&, const std::string&, const std::string&,
                               const std::string&, const std::string&, const std::string&) {});
    target_ = folder_.path() / "package.exe";
  }
  void TearDown() override {
    nginx_.reset();
    DownloadEvents::SetSink(nullptr);
    RunState::Shared().SetSliceNum(0);
    RunState::Shared().SetSliceSize(0);
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
  // The ranges asked since line `from` of the range log, joined where they meet.
  ByteRanges rangesAsked(size_t from) const {
    std::ifstream in(folder_.path() / "nginx" / "ranges.log");
    ByteRanges ranges;
    size_t line = 0;
    long long first = 0, last = 0;
    for (std::string text; std::getline(in, text);)
      if (line++ >= from && std::sscanf(text.c_str(), "bytes=%lld-%lld", &first, &last) == 2)
        ranges.emplace_back(first, last);
    return JoinedRanges(ranges);
  }
  size_t rangeLogLines() const {
    std::ifstream in(folder_.path() / "nginx" / "ranges.log");
    size_t lines = 0;
    for (std::string text; std::getline(in, text);) ++lines;
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
  ASSERT_EQ(download(nginx_->Http("/package.exe")), DownloadOk);
  EXPECT_TRUE(written() == content_);
}

TEST_F(DownloadNginx, WholePackageOverHttp2WithTls) {
  ASSERT_EQ(download(nginx_->Https("/package.exe")), DownloadOk);
  EXPECT_TRUE(written() == content_);
}

TEST_F(DownloadNginx, ResumeAsksOnlyForTheMissingBytes) {
  RunState::Shared().SetSliceNum(3);
  const std::string url = nginx_->Http("/package.exe?resume");
  ASSERT_EQ(download(url), DownloadOk);
  // Slice 3 lost its second half, and its bytes on disk are spoiled.
  const int64_t third = kSize / 3 * 2;
  std::ifstream in(target_.string() + ".xml");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  const std::string done = "<DownloadedPos>" + std::to_string(kSize) + "</DownloadedPos>";
  text.replace(text.find(done), done.size(), "<DownloadedPos>" + std::to_string(third + 1000) + "</DownloadedPos>");
  std::ofstream(target_.string() + ".xml") << text;
  std::filesystem::resize_file(target_, static_cast<uintmax_t>(third + 1000));
  const size_t before = rangeLogLines();
  ASSERT_EQ(download(url), DownloadOk);
  EXPECT_EQ(rangesAsked(before), (ByteRanges{{third + 1000, kSize}}));
  EXPECT_TRUE(written() == content_);
}

// Whatever part of the answers is wrong, an ".exe" package over HTTP/1.1 or
// HTTP/2 arrives byte-identical: no error page or misplaced body is written.
// A slice refused six times ends its attempt short (12), and the next
// attempt resumes, as the install worker's attempts do.
TEST_F(DownloadNginx, ErrorAnswersAndIgnoredRangesNeverLeaveWrongBytes) {
  RunState::Shared().SetSliceSize(262144);
  for (const std::string location : {"/err503/", "/err404/", "/whole/", "/norange/", "/limited/"}) {
    for (const bool tls : {false, true}) {
      std::filesystem::remove(target_);
      std::filesystem::remove(target_.string() + ".xml");
      const std::string path = location + "package.exe";
      int result = 0;
      for (int attempt = 0; attempt < 4 && result != DownloadOk; ++attempt) {
        result = download(tls ? nginx_->Https(path) : nginx_->Http(path));
        EXPECT_TRUE(result == DownloadOk || result == LengthShort) << path << " tls " << tls << ": " << result;
      }
      EXPECT_EQ(result, DownloadOk) << path << " tls " << tls;
      EXPECT_TRUE(written() == content_) << path << " tls " << tls;
    }
  }
}

// Python's http.server knows no ranges and answers every request with the
// whole file: the package is read in one stream.
TEST_F(DownloadNginx, PythonServerWithoutRangesServesOneStream) {
  const int port = nginx_test::FreePort();
  const std::string www = (folder_.path() / "nginx" / "www").string();
  const pid_t server = fork();
  if (server == 0) {
    execlp("python3", "python3", "-m", "http.server", std::to_string(port).c_str(), "--bind", "127.0.0.1",
           "--directory", www.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int i = 0; i < 250 && !nginx_test::Accepts(port); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const int result = download("http://127.0.0.1:" + std::to_string(port) + "/package.exe");
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  EXPECT_EQ(result, DownloadOk);
  EXPECT_TRUE(written() == content_);
}
