// The HTTP client's rules that need no peer: the slice callbacks (status,
// header names, Content-Range, validators, Retry-After and CDN headers;
// writing at the slice's place, also beyond 4 GiB, and a failed write),
// the error texts and the behaviour without a handle.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "download/CLibcurlTool.h"
#include "unit/LogCapture.h"
#include "unit/SliceDownload.h"
#include "unit/TempFolder.h"

namespace {

// A slice of `url` (bytes 0..99 unless a test says otherwise) into a file of the test.
class CLibcurlToolTest : public ::testing::Test {
 protected:
  SliceDownload Slice(const std::string& url, int64_t contentLength, int64_t from = 0, int64_t to = 99) {
    return SliceDownload(target(), url, from, to, contentLength);
  }
  std::filesystem::path target() const { return folder_.path() / "target.bin"; }
  TempFolder folder_;
};

// Every HTTP version's status line is read; the answer is judged when its
// headers end: only 206, or a 200 where the whole file is what the request
// needs, may bring a body.
TEST_F(CLibcurlToolTest, StatusOfEveryHttpVersionDecides) {
  LogCapture log;
  for (const char* line : {"HTTP/1.1 302 Found\r\n", "HTTP/1.1 100 Continue\r\n"}) {
    SliceDownload slice = Slice("http://host/app.exe", 1000);
    EXPECT_GT(slice.Answer({line}), 0u) << line;
  }
  SliceDownload partial = Slice("http://host/app.exe", 1000);
  EXPECT_GT(partial.Answer({"HTTP/2 206 \r\n", "content-range: bytes 0-99/1000\r\n"}), 0u);
  for (const char* line : {"HTTP/1.1 503 Service Unavailable\r\n", "HTTP/2 503 \r\n", "HTTP/2 404 \r\n",
                           "HTTP/2 200 \r\n", "http/1.1 200 OK\r\n", "HTTP/1.1 204 No Content\r\n"}) {
    SliceDownload slice = Slice("http://host/app.exe", 1000);
    EXPECT_EQ(slice.Answer({line}), 0u) << line;
  }
  EXPECT_TRUE(log.Has(" HeaderCallback error0: http_code is 503"));
  // Not an ".exe": a 200 may serve the slice at byte 0 only, and an error never.
  EXPECT_GT(Slice("http://host/app.exe?x=1", 1000).Answer({"HTTP/1.1 200 OK\r\n"}), 0u);
  EXPECT_EQ(Slice("http://host/file.bin", 1000).Answer({"HTTP/2 503 \r\n"}), 0u);
  SliceDownload inside = Slice("http://host/file.bin", 1000, 100, 199);
  EXPECT_EQ(inside.Answer({"HTTP/1.1 200 OK\r\n"}), 0u);
  EXPECT_TRUE(inside.signals().rangesIgnored);
}

// No byte of an answer reaches the file before its headers showed it is the
// slice's: not of an error page, not of a redirect (whose body is dropped
// while the request follows it), not of a 206 without the Content-Range
// asked for.
TEST_F(CLibcurlToolTest, BodyIsWrittenOnlyAfterAcceptedHeaders) {
  SliceDownload silent = Slice("http://host/file.bin", 1000, 100, 199);
  EXPECT_EQ(silent.Write("error page"), 0u);

  SliceDownload redirect = Slice("http://host/file.bin", 1000, 100, 199);
  redirect.Answer({"HTTP/1.1 302 Found\r\n"});
  EXPECT_EQ(redirect.Write("moved"), 5u);

  LogCapture log;
  SliceDownload noRange = Slice("http://host/file.bin", 1000, 100, 199);
  EXPECT_EQ(noRange.Answer({"HTTP/1.1 206 Partial Content\r\n"}), 0u);

  SliceDownload elsewhere = Slice("http://host/file.bin", 1000, 100, 199);
  elsewhere.Header("HTTP/1.1 206 Partial Content\r\n");
  EXPECT_EQ(elsewhere.Header("Content-Range: bytes 0-99/1000\r\n"), 0u);
  EXPECT_TRUE(log.Contains(" HeaderCallback error3: Content-Range: bytes 0-99/1000 does not start at 100"));
  EXPECT_EQ(std::filesystem::file_size(target()), 0u);
  EXPECT_EQ(silent.task().DownloadedPos.load(), 100);
  EXPECT_EQ(redirect.task().DownloadedPos.load(), 100);
}

// A task over the whole file is one stream: a server that ignores ranges
// answers its resumed request with the whole file, which starts it over.
// The whole file must have the file's length: a declared other length is
// refused before any byte, a longer body without one when it runs past
// the end (and what it wrote no longer counts).
TEST_F(CLibcurlToolTest, OneStreamTakesTheWholeFileOfTheRightLength) {
  SliceDownload stream = Slice("http://host/app.exe", 1000, 0, 1000);
  stream.task().DownloadedPos = 600;
  stream.Request();
  EXPECT_GT(stream.Answer({"HTTP/1.1 200 OK\r\n", "Content-Length: 1000\r\n"}), 0u);
  EXPECT_EQ(stream.task().DownloadedPos.load(), 0);
  EXPECT_EQ(stream.Write("from the start"), 14u);
  EXPECT_EQ(stream.Written(0, 14), "from the start");
  EXPECT_FALSE(stream.signals().rangesIgnored);

  LogCapture log;
  SliceDownload declared = Slice("http://host/app.exe", 1000, 0, 1000);
  EXPECT_EQ(declared.Answer({"HTTP/1.1 200 OK\r\n", "Content-Length: 1001\r\n"}), 0u);
  EXPECT_TRUE(log.Has(" HeaderCallback error5: a whole file of 1001 bytes, not 1000"));

  SliceDownload longer = Slice("http://host/app.exe", 10, 0, 10);
  ASSERT_GT(longer.Answer({"HTTP/1.1 200 OK\r\n", "Transfer-Encoding: chunked\r\n"}), 0u);
  EXPECT_EQ(longer.Write("0123456"), 7u);
  EXPECT_EQ(longer.Write("789ab"), 0u);
  EXPECT_EQ(longer.task().DownloadedPos.load(), 0);
}

// A task with the file's validator: a 200 that shows another file (or no
// validator at all) means the file changed, and the pool hears of it; a
// 200 showing the same file merely ignored the range.
TEST_F(CLibcurlToolTest, WholeFileForIfRangeTellsAChangedFile) {
  const auto answer = [this](const std::vector<std::string>& validatorLines) {
    SliceDownload stream = Slice("http://host/app.exe", 1000, 0, 1000);
    stream.task().Validator = "\"v1\"";
    stream.task().DownloadedPos = 600;
    stream.Request();
    std::vector<std::string> lines{"HTTP/1.1 200 OK\r\n"};
    lines.insert(lines.end(), validatorLines.begin(), validatorLines.end());
    const bool accepted = stream.Answer(lines) > 0;
    return std::make_pair(accepted, stream.signals().fileChanged.load());
  };
  EXPECT_EQ(answer({"ETag: \"v2\"\r\n"}), std::make_pair(false, true));
  EXPECT_EQ(answer({}), std::make_pair(false, true));
  EXPECT_EQ(answer({"etag:  \"v1\" \r\n"}), std::make_pair(true, false));
  SliceDownload dated = Slice("http://host/app.exe", 1000, 0, 1000);
  dated.task().Validator = "Tue, 14 Nov 2023 22:13:20 GMT";
  EXPECT_GT(dated.Answer({"HTTP/1.1 200 OK\r\n", "Last-Modified: Tue, 14 Nov 2023 22:13:20 GMT\r\n"}), 0u);
}

// A refusal's Retry-After (seconds or a date) is kept for the retry; the
// answer's body is never written.
TEST_F(CLibcurlToolTest, RefusalKeepsItsRetryAfter) {
  const auto retryAfter = [this](const std::string& value) {
    SliceDownload slice = Slice("http://host/file.bin", 1000, 100, 199);
    EXPECT_EQ(slice.Answer({"HTTP/1.1 503 Busy\r\n", "Retry-After: " + value + "\r\n"}), 0u);
    return slice.task().RetryAfterMs.load();
  };
  EXPECT_EQ(retryAfter("120"), 120000u);
  EXPECT_EQ(retryAfter("soon"), 0u);
  EXPECT_EQ(retryAfter("99999999999999999999"), 86400000u);
  char date[64];
  const time_t inAMinute = std::time(nullptr) + 60;
  std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S GMT", std::gmtime(&inAMinute));
  EXPECT_NEAR(retryAfter(date), 60000u, 2000u);
}

TEST_F(CLibcurlToolTest, UnknownLengthSkipsOnlyTheTotalCheck) {
  SliceDownload slice = Slice("http://host/app.exe", 0);
  slice.Header("HTTP/1.1 206 Partial Content\r\n");
  EXPECT_EQ(slice.Header("Content-Range: bytes 0-9/5\r\n"), 28u);
  EXPECT_EQ(Slice("http://host/app.exe", 0).Answer({"HTTP/1.1 503 Busy\r\n"}), 0u);
}

TEST_F(CLibcurlToolTest, ContentRangeTotalMustMatch) {
  SliceDownload slice = Slice("http://host/file.bin", 10485760);
  slice.Header("HTTP/1.1 206 Partial Content\r\n");
  LogCapture log;
  EXPECT_GT(slice.Header("Content-Range: bytes 0-4194303/10485760\r\n"), 0u);
  EXPECT_EQ(slice.Header("Content-Range: bytes 0-4194303/10485761\r\n"), 0u);
  EXPECT_TRUE(log.Has(" HeaderCallback error1: 10485760 != Content-Range: bytes 0-4194303/10485761"));
  EXPECT_EQ(slice.Header("Content-Range: bytes 0-4194303\r\n"), 0u);
  EXPECT_TRUE(log.Has(" HeaderCallback error2: Content-Range: bytes 0-4194303"));
}

TEST_F(CLibcurlToolTest, CdnTextsJoinAndClearWhenLikeTheProbe) {
  SliceDownload slice = Slice("", 100);
  slice.Header("CF-Cache-Status: HIT\r\n");
  EXPECT_EQ(slice.task().SliceCdn, "HIT");
  slice.Header("CF-RAY: 1234abcd-FRA\r\n");
  EXPECT_EQ(slice.task().SliceCdn, "FRA/HIT");

  SliceDownload likeProbe = Slice("", 100);
  likeProbe.task().ProbeCdn = "FRA/HIT";
  likeProbe.Header("CF-Cache-Status: HIT\r\n");
  likeProbe.Header("CF-RAY: 1234abcd-FRA\r\n");
  EXPECT_EQ(likeProbe.task().SliceCdn, "");
}

TEST_F(CLibcurlToolTest, RayBeforeCacheStatusBuildsTheSameText) {
  SliceDownload slice = Slice("", 100);
  slice.Header("CF-RAY: 77aa-LHR\r\n");
  EXPECT_EQ(slice.task().SliceCdn, "LHR");
  slice.Header("CF-Cache-Status: MISS\r\n");
  EXPECT_EQ(slice.task().SliceCdn, "LHR/MISS");
}

// A header is known by its field name, in any letter case (HTTP/2 names
// are lower case), never by a name inside another header's value: the
// common CORS line that lists Content-Range must not be read as one.
TEST_F(CLibcurlToolTest, HeadersAreKnownByTheirNameAlone) {
  SliceDownload slice = Slice("", 100);
  for (const char* decoy : {"Access-Control-Expose-Headers: Content-Length, Content-Range\r\n",
                            "X-Note: cf-ray: 1-XXX\r\n", "X-Content-Range: none\r\n"})
    EXPECT_GT(slice.Header(decoy), 0u) << decoy;
  EXPECT_EQ(slice.task().SliceCdn, "");
  EXPECT_EQ(slice.Header("content-range: bytes 0-9/99\r\n"), 0u);
  slice.Header("cf-cache-status: HIT\r\n");
  slice.Header("cf-ray: 99ff-AMS\r\n");
  EXPECT_EQ(slice.task().SliceCdn, "AMS/HIT");

  std::string value;
  EXPECT_TRUE(CLibcurlTool::HeaderValue("ETag:\t\"x\"  \r\n", "etag", &value));
  EXPECT_EQ(value, "\"x\"");
  EXPECT_EQ(CLibcurlTool::FindHeader("HTTP/1.1 206 X\r\nA: Content-Range: 1\r\nContent-Range: bytes 0-0/7\r\n",
                                     "content-range"),
            "bytes 0-0/7");
  EXPECT_EQ(CLibcurlTool::FindHeader("A: 1\r\n", "B"), "");
}

// A write that fails (here: into a file open for reading) ends the
// transfer, tells the pool, and is no failure of the server.
TEST_F(CLibcurlToolTest, FailedWriteTellsThePool) {
  std::ofstream(target()) << "";
  FILE* readOnly = std::fopen(target().string().c_str(), "rb");
  std::mutex lock;
  PoolSignals signals;
  CDownloadThread thread(lock, readOnly, &signals);
  CTask task;
  task.TaskId = 1;
  task.EndPos = 99;
  task.ContentLength = 100;
  thread.doTask(&task);
  thread.answer() = SliceAnswer(0, 206);
  thread.answer().rangeSeen = thread.answer().bodyAccepted = true;
  const std::string block(10, 'x');
  LogCapture log;
  EXPECT_LT(CLibcurlTool::downloadFunc(const_cast<char*>(block.data()), 1, block.size(), &thread), block.size());
  EXPECT_TRUE(signals.writeFailed);
  EXPECT_NE(signals.writeError.load(), 0u);
  EXPECT_EQ(task.DownloadedPos.load(), 0);
  EXPECT_TRUE(log.Contains(" [Error]: the target file cannot be written"));
  std::fclose(readOnly);
}

TEST_F(CLibcurlToolTest, BlockGoesToTheSlicePosition) {
  SliceDownload slice = Slice("", 0, 10, 19);
  slice.AcceptPartial();
  EXPECT_EQ(slice.Write("abcd"), 4u);
  EXPECT_EQ(slice.Write("efg"), 3u);
  EXPECT_EQ(slice.task().DownloadedPos.load(), 17);
  EXPECT_EQ(slice.Written(10, 7), "abcdefg");
}

TEST_F(CLibcurlToolTest, BlockPastTheSliceIsCutAndEndsTheTransfer) {
  SliceDownload slice = Slice("", 0, 0, 4);
  slice.AcceptPartial();
  LogCapture log;
  EXPECT_EQ(slice.Write("0123456789"), 5u);  // fewer than received: libcurl stops
  EXPECT_EQ(slice.task().DownloadedPos.load(), 5);
  EXPECT_TRUE(slice.task().isComplete());
  EXPECT_EQ(slice.Written(0, 10), "01234");
  EXPECT_TRUE(log.Contains(" Write Error. Task id"));
}

TEST_F(CLibcurlToolTest, BlockEndingOneBeforeEndPosLeavesTheLastByte) {
  SliceDownload slice = Slice("", 0, 0, 4);
  slice.AcceptPartial();
  EXPECT_EQ(slice.Write("0123"), 4u);
  EXPECT_EQ(slice.task().DownloadedPos.load(), slice.task().EndPos);
  EXPECT_FALSE(slice.task().isComplete());
  EXPECT_EQ(slice.Write("4"), 1u);
  EXPECT_TRUE(slice.task().isComplete());
}

// Offsets beyond 2 and 4 GiB must reach the file whole (a sparse file).
TEST_F(CLibcurlToolTest, OffsetsBeyond4GiB) {
  const int64_t start = (int64_t{4} << 30) + (int64_t{1} << 31) + 3;  // 6 GiB + 3
  SliceDownload slice = Slice("", 0, start, start + 99);
  slice.AcceptPartial();
  ASSERT_EQ(slice.Write("far away"), 8u);
  EXPECT_EQ(slice.Written(start, 8), "far away");
  EXPECT_EQ(slice.Written(start - (int64_t{1} << 32), 8), std::string(8, '\0'));  // not at the low 32 bits
  EXPECT_EQ(std::filesystem::file_size(target()), static_cast<uintmax_t>(start + 8));
}

TEST(CLibcurlToolErrors, FigureErrorTexts) {
  CLibcurlTool tool(nullptr);
  LogCapture log;
  EXPECT_EQ(tool.figureError(CURLE_OPERATION_TIMEDOUT), 1);
  tool.figureError(static_cast<CURLcode>(35));
  tool.figureError(static_cast<CURLcode>(13));
  tool.figureError(static_cast<CURLcode>(14));
  tool.figureError(CURLE_WRITE_ERROR);
  tool.figureError(CURLE_COULDNT_RESOLVE_HOST);
  const std::vector<std::string> expected = {" Curl Time out", " Curl Else Error: 35", " Curl unknow error!",
                                             " Curl unknow error!", " 接收数据错误", " cannt resovlve server!"};
  EXPECT_EQ(log.Lines(), expected);
}

TEST(CLibcurlToolErrors, NoHandleFailsWithoutNetwork) {
  CLibcurlTool tool(nullptr);
  LogCapture log;
  std::string body;
  char headers[CLibcurlTool::kMaxHeaderText + 1] = "unchanged";
  long code = 0;
  EXPECT_EQ(tool.httpGet("http://127.0.0.1:9/", body, false), CURLE_FAILED_INIT);
  EXPECT_EQ(tool.httpGet("http://127.0.0.1:9/", headers, code), CURLE_FAILED_INIT);
  EXPECT_EQ(log.Count(" curl easy init fail !!!"), 2u);
}

}  // namespace
