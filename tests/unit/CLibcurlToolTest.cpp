// The HTTP client's rules that need no peer: the slice callbacks (status,
// Content-Range and CDN headers; writing at the slice's place, also beyond
// 4 GiB), the error texts and the behaviour without a handle.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "CDownloadThread.h"
#include "CLibcurlTool.h"
#include "unit/LogCapture.h"
#include "unit/TempFolder.h"

namespace {

// A download worker (its OS thread is never started) working on one task.
class SliceFixture {
 public:
  SliceFixture(const std::string& url, int64_t contentLength, FILE* file = nullptr)
      : thread_(platform::OpenSharedMutex(L"mutex_for_downloadthread"), file) {
    task_.RemotePath = url;
    task_.ContentLength = contentLength;
    thread_.doTask(&task_);
  }
  CTask& task() { return task_; }
  size_t Header(const std::string& line) {
    std::string copy = line;  // libcurl's buffer is writable and unterminated
    return CLibcurlTool::HeaderCallback(&copy[0], 1, copy.size(), &thread_);
  }
  size_t Write(const std::string& block) {
    return CLibcurlTool::downloadFunc(const_cast<char*>(block.data()), 1, block.size(), &thread_);
  }

 private:
  CTask task_;
  CDownloadThread thread_;
};

std::string ReadAt(const std::filesystem::path& path, int64_t offset, size_t count) {
  std::ifstream file(path, std::ios::binary);
  file.seekg(offset);
  std::string bytes(count, '\0');
  file.read(&bytes[0], static_cast<std::streamsize>(count));
  bytes.resize(static_cast<size_t>(file.gcount()));
  return bytes;
}

TEST(CLibcurlToolHeaders, ExeSliceNeeds206) {
  SliceFixture slice("http://host/app.exe", 1000);
  LogCapture log;
  EXPECT_EQ(slice.Header("HTTP/1.1 206 Partial Content\r\n"), 30u);
  EXPECT_EQ(slice.Header("http/1.1 200 OK\r\n"), 0u);
  EXPECT_TRUE(log.Has(" HeaderCallback error0: http_code is 200"));
  // An HTTP/2 status line has two numbers only and passes unchecked.
  EXPECT_EQ(slice.Header("HTTP/2 200\r\n"), 12u);
}

TEST(CLibcurlToolHeaders, OtherAddressesAcceptAnyStatus) {
  SliceFixture slice("http://host/app.exe?x=1", 1000);
  EXPECT_EQ(slice.Header("HTTP/1.1 200 OK\r\n"), 17u);
}

TEST(CLibcurlToolHeaders, UnknownLengthPassesEverything) {
  SliceFixture slice("http://host/app.exe", 0);
  EXPECT_EQ(slice.Header("HTTP/1.1 200 OK\r\n"), 17u);
  EXPECT_EQ(slice.Header("Content-Range: bytes 0-9/5\r\n"), 28u);
}

TEST(CLibcurlToolHeaders, ContentRangeTotalMustMatch) {
  SliceFixture slice("http://host/file.bin", 10485760);
  LogCapture log;
  EXPECT_GT(slice.Header("Content-Range: bytes 0-4194303/10485760\r\n"), 0u);
  EXPECT_EQ(slice.Header("Content-Range: bytes 0-4194303/10485761\r\n"), 0u);
  EXPECT_TRUE(log.Has(" HeaderCallback error1: 10485760 != Content-Range: bytes 0-4194303/10485761"));
  EXPECT_EQ(slice.Header("Content-Range: bytes 0-4194303\r\n"), 0u);
  EXPECT_TRUE(log.Has(" HeaderCallback error2: Content-Range: bytes 0-4194303"));
}

TEST(CLibcurlToolHeaders, CdnTextsJoinAndClearWhenLikeTheProbe) {
  SliceFixture slice("", 100);
  slice.Header("CF-Cache-Status: HIT\r\n");
  EXPECT_EQ(slice.task().SliceCdn, "HIT");
  slice.Header("CF-RAY: 1234abcd-FRA\r\n");
  EXPECT_EQ(slice.task().SliceCdn, "FRA/HIT");

  SliceFixture likeProbe("", 100);
  likeProbe.task().ProbeCdn = "FRA/HIT";
  likeProbe.Header("CF-Cache-Status: HIT\r\n");
  likeProbe.Header("CF-RAY: 1234abcd-FRA\r\n");
  EXPECT_EQ(likeProbe.task().SliceCdn, "");
}

TEST(CLibcurlToolHeaders, RayBeforeCacheStatusBuildsTheSameText) {
  SliceFixture slice("", 100);
  slice.Header("CF-RAY: 77aa-LHR\r\n");
  EXPECT_EQ(slice.task().SliceCdn, "LHR");
  slice.Header("CF-Cache-Status: MISS\r\n");
  EXPECT_EQ(slice.task().SliceCdn, "LHR/MISS");
}

class CLibcurlToolWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_.path() / "target.bin";
    file_ = std::fopen(path_.string().c_str(), "wb+");
    ASSERT_NE(file_, nullptr);
  }
  void TearDown() override {
    if (file_) std::fclose(file_);
  }
  std::string Read(int64_t offset, size_t count) {
    std::fflush(file_);
    return ReadAt(path_, offset, count);
  }

  TempFolder folder_;
  std::filesystem::path path_;
  FILE* file_ = nullptr;
};

TEST_F(CLibcurlToolWrite, BlockGoesToTheSlicePosition) {
  SliceFixture slice("", 0, file_);
  slice.task().StartPos = slice.task().DownloadedPos = 10;
  slice.task().EndPos = 19;
  EXPECT_EQ(slice.Write("abcd"), 4u);
  EXPECT_EQ(slice.Write("efg"), 3u);
  EXPECT_EQ(slice.task().DownloadedPos.load(), 17);
  EXPECT_EQ(Read(10, 7), "abcdefg");
}

TEST_F(CLibcurlToolWrite, BlockPastTheSliceIsCutAndEndsTheTransfer) {
  SliceFixture slice("", 0, file_);
  slice.task().StartPos = slice.task().DownloadedPos = 0;
  slice.task().EndPos = 4;  // bytes 0..4
  LogCapture log;
  EXPECT_EQ(slice.Write("0123456789"), 5u);  // fewer than received: libcurl stops
  EXPECT_EQ(slice.task().DownloadedPos.load(), 5);
  EXPECT_TRUE(slice.task().isComplete());
  EXPECT_EQ(Read(0, 10), "01234");
  EXPECT_TRUE(log.Contains(" Write Error. Task id"));
}

TEST_F(CLibcurlToolWrite, BlockEndingOneBeforeEndPosLeavesTheLastByte) {
  SliceFixture slice("", 0, file_);
  slice.task().StartPos = slice.task().DownloadedPos = 0;
  slice.task().EndPos = 4;
  EXPECT_EQ(slice.Write("0123"), 4u);
  EXPECT_EQ(slice.task().DownloadedPos.load(), slice.task().EndPos);
  EXPECT_FALSE(slice.task().isComplete());
  EXPECT_EQ(slice.Write("4"), 1u);
  EXPECT_TRUE(slice.task().isComplete());
}

// Offsets beyond 2 and 4 GiB must reach the file whole (a sparse file).
TEST_F(CLibcurlToolWrite, OffsetsBeyond4GiB) {
  const int64_t start = (int64_t{4} << 30) + (int64_t{1} << 31) + 3;  // 6 GiB + 3
  SliceFixture slice("", 0, file_);
  slice.task().StartPos = slice.task().DownloadedPos = start;
  slice.task().EndPos = start + 99;
  ASSERT_EQ(slice.Write("far away"), 8u);
  EXPECT_EQ(Read(start, 8), "far away");
  EXPECT_EQ(Read(start - (int64_t{1} << 32), 8), std::string(8, '\0'));  // not at the low 32 bits
  EXPECT_EQ(std::filesystem::file_size(path_), static_cast<uintmax_t>(start + 8));
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
