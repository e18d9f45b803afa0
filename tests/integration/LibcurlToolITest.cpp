// The HTTP client against the reference download server on loopback: what
// each kind of request sends, how slice answers are checked and written,
// redirects, time limits and failures.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <netinet/in.h>

#include <cstring>
#include <fstream>
#include <future>
#include <memory>
#include <utility>

#include "download/CLibcurlTool.h"
#include "runstate/RunState.h"
#include "integration/RefServices.h"
#include "integration/TestSettings.h"
#include "services/GeneratedContent.h"
#include "unit/LogCapture.h"
#include "unit/RunStateGuard.h"
#include "unit/SliceDownload.h"
#include "unit/TempFolder.h"

namespace {

constexpr int64_t kFileSize = 100000;
const char kUserAgent[] =
    "Mozilla/5.0 (Windows NT 6.1; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/62.0.3202.75 Safari/537.36";

std::string FileBytes(int64_t from, int64_t count) {
  std::string bytes;
  for (int64_t i = from; i < from + count; ++i) bytes.push_back(static_cast<char>(services::GeneratedByte(i)));
  return bytes;
}

// Runs two requests at once: a time limit is bracketed between the silences
// of two servers, which costs the longer wait only.
template <class First, class Second>
std::pair<int, int> AtOnce(First first, Second second) {
  auto firstResult = std::async(std::launch::async, first);
  const int secondResult = static_cast<int>(second());
  return {static_cast<int>(firstResult.get()), secondResult};
}

class LibcurlToolITest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto files = folder_.path() / "files";
    std::filesystem::create_directories(files);
    for (const char* name : {"app.exe", "data.bin"}) {
      std::ofstream(files / name, std::ios::binary) << FileBytes(0, kFileSize);
    }
    RefServices::Options options;
    options.files = files;
    services_ = std::make_unique<RefServices>(options);
  }

  std::string Url(const std::string& path) const { return services_->Url(path); }
  SliceDownload Slice(const std::string& path, int64_t from, int64_t to, int64_t length = kFileSize) {
    return SliceDownload(folder_.path() / "target.bin", Url(path), from, to, length);
  }
  Json::Value LastRequest() const {
    const Json::Value requests = services_->Requests();
    return requests[requests.size() - 1];
  }

  TempFolder folder_;
  TestSettings settings_{folder_.path()};
  RunStateGuard runState_;
  std::unique_ptr<RefServices> services_;
  CLibcurlTool tool_{curl_easy_init()};
};

TEST_F(LibcurlToolITest, SliceRequestCarriesRangeUserAgentAndTimeouts) {
  RunState::Shared().SetConnectTimeout(4);
  RunState::Shared().SetTransferTimeout(9);
  SliceDownload slice = Slice("/files/app.exe", 10, 19);
  slice.task().Verbose = 1;
  LogCapture log;
  ASSERT_EQ(slice.Run(tool_), CURLE_OK);
  EXPECT_EQ(slice.Written(10, 10), FileBytes(10, 10));
  EXPECT_TRUE(slice.task().isComplete());
  EXPECT_TRUE(log.Has(" Request Range: (1, 9) 10-19, [4,9]"));
  const Json::Value request = LastRequest();
  EXPECT_EQ(request["target"].asString(), "/files/app.exe");
  EXPECT_EQ(request["headers"]["Range"].asString(), "bytes=10-19");
  EXPECT_EQ(request["headers"]["User-Agent"].asString(), kUserAgent);
}

TEST_F(LibcurlToolITest, HandleKeepsTheConnectionButNoOption) {
  SliceDownload slice = Slice("/files/data.bin", 0, 99);
  ASSERT_EQ(slice.Run(tool_), CURLE_OK);
  std::string body;
  ASSERT_EQ(tool_.httpGet(Url("/files/data.bin").c_str(), body, false), CURLE_OK);
  EXPECT_EQ(body, FileBytes(0, kFileSize));
  const Json::Value requests = services_->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0]["headers"]["REMOTE_PORT"], requests[1]["headers"]["REMOTE_PORT"]);
  EXPECT_FALSE(requests[1]["headers"].isMember("Range"));
  EXPECT_FALSE(requests[1]["headers"].isMember("User-Agent"));
}

TEST_F(LibcurlToolITest, ExeSliceAnsweredWithTheWholeFileIsRefused) {
  SliceDownload slice = Slice("/dl/range=ignore/files/app.exe", 0, 99);
  LogCapture log;
  EXPECT_EQ(slice.Run(tool_), CURLE_WRITE_ERROR);
  EXPECT_TRUE(log.Has(" HeaderCallback error0: http_code is 200"));
  EXPECT_TRUE(log.Has(" 接收数据错误"));
  EXPECT_EQ(slice.Written(0, 10), "");
}

TEST_F(LibcurlToolITest, ServerErrorForAnExeSliceIsRefused) {
  SliceDownload slice = Slice("/dl/status=503/files/app.exe", 0, 99);
  LogCapture log;
  EXPECT_EQ(slice.Run(tool_), CURLE_WRITE_ERROR);
  EXPECT_TRUE(log.Has(" HeaderCallback error0: http_code is 503"));
}

TEST_F(LibcurlToolITest, WrongContentRangeTotalStopsBeforeAnyByte) {
  SliceDownload slice = Slice("/dl/total=99999/files/data.bin", 100, 199);
  LogCapture log;
  EXPECT_EQ(slice.Run(tool_), CURLE_WRITE_ERROR);
  EXPECT_TRUE(log.Has(" HeaderCallback error1: 100000 != Content-Range: bytes 100-199/99999"));
  EXPECT_EQ(slice.Written(0, 1000), "");
}

TEST_F(LibcurlToolITest, WholeBodyOfTheFirstSliceIsCutAtItsEnd) {
  SliceDownload slice = Slice("/dl/range=ignore/files/data.bin", 0, 99);
  EXPECT_EQ(slice.Run(tool_), CURLE_WRITE_ERROR);
  EXPECT_TRUE(slice.task().isComplete());
  EXPECT_EQ(slice.Written(0, 1000), FileBytes(0, 100));
}

// A slice of a 6 GB file lands at its offset (a sparse target file).
TEST_F(LibcurlToolITest, SliceBeyond4GiBLandsAtItsOffset) {
  const int64_t total = 6000000000, from = 5000000000, to = from + 65535;
  SliceDownload slice = Slice("/gen/" + std::to_string(total) + "/big.exe", from, to, total);
  ASSERT_EQ(slice.Run(tool_), CURLE_OK);
  EXPECT_TRUE(slice.task().isComplete());
  EXPECT_EQ(slice.Written(from, 65536), FileBytes(from, 65536));
  EXPECT_EQ(std::filesystem::file_size(folder_.path() / "target.bin"), static_cast<uintmax_t>(to + 1));
}

TEST_F(LibcurlToolITest, CdnHeadersOfTheSliceAreRecorded) {
  SliceDownload slice = Slice("/dl/cfcache=HIT,cfray=1234abcd-FRA/files/data.bin", 0, 99);
  ASSERT_EQ(slice.Run(tool_), CURLE_OK);
  EXPECT_EQ(slice.task().SliceCdn, "FRA/HIT");

  SliceDownload likeProbe = Slice("/dl/cfcache=HIT,cfray=1234abcd-FRA/files/data.bin", 0, 99);
  likeProbe.task().ProbeCdn = "FRA/HIT";
  ASSERT_EQ(likeProbe.Run(tool_), CURLE_OK);
  EXPECT_EQ(likeProbe.task().SliceCdn, "");
}

TEST_F(LibcurlToolITest, DroppedConnectionKeepsWhatArrived) {
  SliceDownload slice = Slice("/dl/drop=1000/files/data.bin", 0, kFileSize - 1);
  LogCapture log;
  EXPECT_EQ(slice.Run(tool_), CURLE_PARTIAL_FILE);
  EXPECT_EQ(slice.task().DownloadedPos.load(), 1000);
  EXPECT_TRUE(log.Has(" 服务器返回文件大小非法"));

  SliceDownload longer = Slice("/dl/length=+10/files/data.bin", 0, 99);
  EXPECT_EQ(longer.Run(tool_), CURLE_PARTIAL_FILE);
  EXPECT_TRUE(longer.task().isComplete());
}

TEST_F(LibcurlToolITest, SliceTransferTimeoutIsTheConfiguredOne) {
  RunState::Shared().SetTransferTimeout(1);
  SliceDownload stalled = Slice("/dl/stall=4/files/data.bin", 0, 99);
  LogCapture log;
  // The server stalls 4 s: the default limit (20 s) would wait it out.
  EXPECT_EQ(stalled.Run(tool_), CURLE_OPERATION_TIMEDOUT);
  EXPECT_TRUE(log.Has(" Curl Time out"));

  // A slow connection (20000 bytes a second) ends at the limit too, keeping what came.
  SliceDownload slow = Slice("/dl/rate=20000/files/data.bin", 0, kFileSize - 2);
  EXPECT_EQ(slow.Run(tool_), CURLE_OPERATION_TIMEDOUT);
  EXPECT_GT(slow.task().DownloadedPos.load(), 0);
  EXPECT_LT(slow.task().DownloadedPos.load(), kFileSize);
}

// One stream over the whole file is limited by stalls, not by its length:
// it runs as long as bytes arrive.
TEST_F(LibcurlToolITest, OneStreamEndsOnAStallOnly) {
  RunState::Shared().SetTransferTimeout(1);
  SliceDownload slow = Slice("/dl/rate=50000/files/data.bin", 0, kFileSize);
  EXPECT_EQ(slow.Run(tool_), CURLE_OK);
  EXPECT_TRUE(slow.task().isComplete());
  SliceDownload stalled = Slice("/dl/stall=4/files/data.bin", 0, kFileSize);
  EXPECT_EQ(stalled.Run(tool_), CURLE_OPERATION_TIMEDOUT);  // a 1 s stall limit, not the server's 4 s
  EXPECT_FALSE(stalled.task().isComplete());
}

TEST_F(LibcurlToolITest, ProbeReturnsTheHeadersOfTheWholeChain) {
  char headers[CLibcurlTool::kMaxHeaderText + 1];
  long code = 0;
  ASSERT_EQ(tool_.httpGet(Url("/redirect/2/files/data.bin").c_str(), headers, code), CURLE_OK);
  EXPECT_EQ(code, 200);
  const std::string text = headers;
  EXPECT_EQ(text.find("HTTP/1.1 302"), 0u);
  EXPECT_NE(text.find("Location: " + Url("/redirect/1/files/data.bin")), std::string::npos);
  EXPECT_NE(text.find("Location: " + Url("/files/data.bin")), std::string::npos);
  EXPECT_NE(text.find("HTTP/1.1 200 OK\r\n"), std::string::npos);
  EXPECT_NE(text.find("Content-Length: 100000\r\n"), std::string::npos);
  EXPECT_EQ(services_->Requests()[2]["method"].asString(), "HEAD");
}

// The length probe asks for the first byte and follows no redirect: it
// names the target, and reads no body (a 200 for a server without ranges).
TEST_F(LibcurlToolITest, LengthProbeAsksTheFirstByteAndFollowsNoRedirect) {
  std::string headers;
  long code = 0;
  ASSERT_EQ(tool_.httpProbe(Url("/redirect/1/files/data.bin").c_str(), headers, code), CURLE_OK);
  EXPECT_EQ(code, 302);
  EXPECT_EQ(tool_.redirectUrl(), Url("/files/data.bin"));
  ASSERT_EQ(tool_.httpProbe(Url("/files/data.bin").c_str(), headers, code), CURLE_OK);
  EXPECT_EQ(code, 206);
  EXPECT_EQ(tool_.redirectUrl(), "");
  EXPECT_EQ(CLibcurlTool::FindHeader(headers, "content-range"), "bytes 0-0/100000");
  EXPECT_EQ(LastRequest()["headers"]["Range"].asString(), "bytes=0-0");
  ASSERT_EQ(tool_.httpProbe(Url("/dl/range=ignore,stall=20/files/data.bin").c_str(), headers, code), CURLE_OK);
  EXPECT_EQ(code, 200);
  EXPECT_EQ(CLibcurlTool::FindHeader(headers, "Content-Length"), "100000");
}

// An address names HTTP or HTTPS, or nothing is requested.
TEST_F(LibcurlToolITest, OnlyHttpAndHttpsAreSpoken) {
  std::string body;
  EXPECT_EQ(tool_.httpGet("file:///etc/hostname", body, false), CURLE_UNSUPPORTED_PROTOCOL);
  EXPECT_TRUE(body.empty());
  std::string answer;
  EXPECT_EQ(tool_.HttpPost("ftp://127.0.0.1/x", "data", answer, nullptr), CURLE_UNSUPPORTED_PROTOCOL);
}

TEST_F(LibcurlToolITest, ProbeHeaderTextIsCutAt2000Characters) {
  char headers[CLibcurlTool::kMaxHeaderText + 1];
  long code = 0;
  ASSERT_EQ(tool_.httpGet(Url("/dl/pad=3000/files/data.bin").c_str(), headers, code), CURLE_OK);
  EXPECT_EQ(std::strlen(headers), 2000u);
  EXPECT_EQ(code, 200);
}

TEST_F(LibcurlToolITest, RedirectsAreFollowedUpToFive) {
  std::string body;
  EXPECT_EQ(tool_.httpGet(Url("/redirect/5/files/data.bin").c_str(), body, false), CURLE_OK);
  EXPECT_EQ(body.size(), static_cast<size_t>(kFileSize));
  EXPECT_EQ(tool_.httpGet(Url("/redirect/6/files/data.bin").c_str(), body, false), CURLE_TOO_MANY_REDIRECTS);

  services_->ClearRequests();
  char headers[CLibcurlTool::kMaxHeaderText + 1];
  long code = 0;
  LogCapture log;
  EXPECT_EQ(tool_.httpGet(Url("/loop/0").c_str(), headers, code), CURLE_TOO_MANY_REDIRECTS);
  EXPECT_EQ(code, 302);
  EXPECT_EQ(services_->Requests().size(), 6u);
  EXPECT_TRUE(log.Has(" Curl Else Error: 47"));

  SliceDownload slice = Slice("/redirect/2/files/data.bin", 0, 99);
  EXPECT_EQ(slice.Run(tool_), CURLE_OK);
  EXPECT_EQ(slice.Written(0, 100), FileBytes(0, 100));
}

TEST_F(LibcurlToolITest, GetKeepsWhatArrivedAndStopsAfterFiveSeconds) {
  std::string body = "old";
  EXPECT_EQ(tool_.httpGet(Url("/dl/drop=100/files/data.bin").c_str(), body, false), CURLE_PARTIAL_FILE);
  EXPECT_EQ(body, FileBytes(0, 100));

  // The limit lies between a silence of 3 s, which is waited out, and one of 9 s.
  CLibcurlTool other(curl_easy_init());
  std::string waited;
  const auto results =
      AtOnce([&] { return other.httpGet(Url("/dl/stall=3/files/data.bin").c_str(), waited, false); },
             [&] { return tool_.httpGet(Url("/dl/stall=9/files/data.bin").c_str(), body, false); });
  EXPECT_EQ(results, (std::pair<int, int>(CURLE_OK, CURLE_OPERATION_TIMEDOUT)));
  EXPECT_EQ(waited, FileBytes(0, kFileSize));
}

TEST_F(LibcurlToolITest, PostSendsTheBodyAndAppendsTheAnswer) {
  std::string response = "before:";
  EXPECT_EQ(tool_.HttpPost(Url("/echo"), "a=1&b=two", response, nullptr), CURLE_OK);
  EXPECT_EQ(response, "before:a=1&b=two");
  const Json::Value request = LastRequest();
  EXPECT_EQ(request["method"].asString(), "POST");
  EXPECT_EQ(request["body"].asString(), "a=1&b=two");
  EXPECT_EQ(request["headers"]["Content-Type"].asString(), "application/x-www-form-urlencoded");
}

TEST_F(LibcurlToolITest, PostStopsAfterTenSeconds) {
  // The limit lies between a silence of 7 s, which is waited out, and one of 14 s.
  CLibcurlTool other(curl_easy_init());
  std::string waited, response;
  const auto results = AtOnce([&] { return other.HttpPost(Url("/echo?stall=7"), "x", waited, nullptr); },
                              [&] { return tool_.HttpPost(Url("/echo?stall=14"), "y", response, nullptr); });
  EXPECT_EQ(results, (std::pair<int, int>(CURLE_OK, CURLE_OPERATION_TIMEDOUT)));
  EXPECT_EQ(waited, "x");
}

TEST_F(LibcurlToolITest, RefusedConnectionIsLogged) {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  close(probe);  // nothing listens on this port now
  const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x.exe";
  SliceDownload slice(folder_.path() / "refused.bin", url, 0, 9, 10);
  LogCapture log;
  EXPECT_EQ(slice.Run(tool_), CURLE_COULDNT_CONNECT);
  EXPECT_TRUE(log.Has(" Curl Connect Server Error"));
}

}  // namespace
