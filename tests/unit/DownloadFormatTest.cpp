// Size texts, retry pauses, CDN addresses, MD5 helpers and the target
// file's operations of the download engine (the latter also under wine).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Digest.h"
#include "download/CDownloader.h"
#include "download/DownLoadImpl.h"
#include "TempFolder.h"
#include "platform/PinnedFile.h"
#include "platform/Platform.h"
#include "platform/Process.h"

TEST(FormatSize, UnitsAreStrictlyGreater) {
  EXPECT_EQ(CDownloader::formatSizeUnits(1024), "1024B");
  EXPECT_EQ(CDownloader::formatSizeUnits(1048576), "1024K");
  EXPECT_EQ(CDownloader::formatSizeUnits(1048576 + 1536), "1M1K512B");
  EXPECT_EQ(CDownloader::formatSizeUnits(-1), "");
}

TEST(FormatSize, TwoUnitsGiveOneNumber) {
  EXPECT_EQ(CDownloader::formatSize(0), "0.00B");
  EXPECT_EQ(CDownloader::formatSize(1023), "1023B");
  EXPECT_EQ(CDownloader::formatSize(1024), "1024B");
  EXPECT_EQ(CDownloader::formatSize(1536), "1.5K");
  EXPECT_EQ(CDownloader::formatSize(1572864), "1.5M");
  EXPECT_EQ(CDownloader::formatSize(524288), "512K");
  EXPECT_EQ(CDownloader::formatSize(2147483648LL), "2G");
  // A following unit that is missing counts as 0: 1G and 5K is "1G".
  EXPECT_EQ(CDownloader::formatSize(1073741824LL + 1048576 + 5 * 1024), "1G");
  // Hundredths are cut, not rounded: 1023/1024 K = 0.999 -> 0.99.
  EXPECT_EQ(CDownloader::formatSize(1048576 + 1047552 + 1048576), "2.99M");
}

// Pauses double from 250 ms up to 16 s, each drawn from half to one and a
// half of its length; a server's Retry-After wins when longer, up to 30 s.
TEST(RetryDelay, DoublesWithJitterAndHonoursRetryAfterUpToACap) {
  const uint32_t lowest = 0, highest = 0xffffffff;
  EXPECT_EQ(CDownloader::retryDelayMs(1, 0, lowest), 125u);
  EXPECT_EQ(CDownloader::retryDelayMs(2, 0, lowest), 250u);
  EXPECT_EQ(CDownloader::retryDelayMs(3, 0, lowest), 500u);
  EXPECT_EQ(CDownloader::retryDelayMs(20, 0, lowest), 8000u);
  EXPECT_EQ(CDownloader::retryDelayMs(20, 0, 16000), 24000u);
  EXPECT_LE(CDownloader::retryDelayMs(1, 0, highest), 375u);
  EXPECT_EQ(CDownloader::retryDelayMs(0, 0, lowest), 125u);
  EXPECT_EQ(CDownloader::retryDelayMs(1, 5000, highest), 5000u);
  EXPECT_EQ(CDownloader::retryDelayMs(1, 86400000, lowest), 30000u);
}

// The target file is sized (cut and extended, the gap reading as zeros),
// flushed, and a write that cannot happen says so with an error.
TEST(TargetFile, SizedFlushedAndWritesReportTheirErrors) {
  TempFolder folder;
  const std::string path = (folder.path() / "target.bin").string();
  uint32_t error = 0;
  FILE* file = platform::OpenFile(path, "wb+", &error);
  ASSERT_NE(file, nullptr);
  std::setvbuf(file, nullptr, _IONBF, 0);
  ASSERT_EQ(platform::WriteFileAt(file, 0, "0123456789", 10, &error), 10u);
  ASSERT_TRUE(platform::SetFileLength(file, 4, &error)) << error;
  EXPECT_EQ(platform::FileSize(path), 4);
  ASSERT_TRUE(platform::SetFileLength(file, 3 * 1048576 + 5, &error)) << error;
  EXPECT_EQ(platform::FileSize(path), 3 * 1048576 + 5);
  EXPECT_TRUE(platform::SyncFile(file));
  std::fclose(file);
  std::ifstream in(path, std::ios::binary);
  char head[6] = {};
  in.read(head, 6);
  EXPECT_EQ(std::string(head, 6), std::string("0123\0\0", 6));
  in.close();

  FILE* readOnly = platform::OpenFile(path, "rb", &error);
  ASSERT_NE(readOnly, nullptr);
  error = 0;
  EXPECT_EQ(platform::WriteFileAt(readOnly, 0, "x", 1, &error), 0u);
  EXPECT_NE(error, 0u);
  std::fclose(readOnly);
}

TEST(CdnUrl, CdnOrDlHostOnly) {
  EXPECT_TRUE(isCdnUrl(std::string("https://cdn.example.test/a.exe")));
  EXPECT_TRUE(isCdnUrl(std::wstring(L"http://dl.example.test/a.exe")));
  EXPECT_FALSE(isCdnUrl(std::string("https://www.example.test/cdn.exe")));
  EXPECT_FALSE(isCdnUrl(std::wstring(L"https://mycdn.example.test/a.exe")));
}

TEST(Digests, HexOfText) {
  EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(md5Hex("The quick brown fox jumps over the lazy dog"), "9e107d9d372bb6826bd81d3542a419d6");
  EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256Hex("The quick brown fox jumps over the lazy dog"),
            "d7a8fbb307d7809469ca9abcb0082e4f8d5651e46d3cdb762d02d0bf37c9e592");
}

class CheckMd5 : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = folder_.path() / "package.exe";
    std::ofstream(file_, std::ios::binary) << "The quick brown fox jumps over the lazy dog";
  }
  // The hashes of the file, held as the install worker holds the package.
  int Check(const std::wstring& md5, const std::wstring& md5Extra, const std::wstring& tag,
            const std::wstring& sha256) const {
    uint32_t error = 0;
    const std::unique_ptr<platform::PinnedFile> held = platform::OpenPinnedFile(file_.wstring(), &error);
    EXPECT_TRUE(held) << error;
    return held ? CDownLoadImpl::checkMD5(*held, md5, md5Extra, tag, sha256) : -99;
  }
  std::string record() const {
    std::ifstream in(file_.string() + ".db", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  TempFolder folder_;
  std::filesystem::path file_;
};

TEST_F(CheckMd5, MatchesEitherValueInLowerCaseOnlyAndRecordsTheDigest) {
  const std::wstring right = L"9e107d9d372bb6826bd81d3542a419d6";
  EXPECT_EQ(Check(right, L"", L"1.2.3", L""), CDownLoadImpl::kHashesMatch);
  EXPECT_EQ(Check(L"0", right, L"1.2.3", L""), CDownLoadImpl::kHashesMatch);
  EXPECT_EQ(Check(L"9E107D9D372BB6826BD81D3542A419D6", L"", L"5.0.1", L""), CDownLoadImpl::kMd5Differs);
  EXPECT_EQ(record(), "5.0.1###9e107d9d372bb6826bd81d3542a419d6");
}

// A SHA-256 of the answer must match too, by the MD5's rule (lower-case
// digits only), and goes on the marker's second line. Its mismatch is told
// apart from the MD5's: it refuses the package.
TEST_F(CheckMd5, ASha256IsCheckedBesideTheMd5AndRecorded) {
  const std::wstring md5 = L"9e107d9d372bb6826bd81d3542a419d6";
  const std::string sha256 = "d7a8fbb307d7809469ca9abcb0082e4f8d5651e46d3cdb762d02d0bf37c9e592";
  const std::wstring wideSha256 = platform::AnsiToWide(sha256);
  EXPECT_EQ(Check(md5, L"", L"5.0.1", wideSha256), CDownLoadImpl::kHashesMatch);
  EXPECT_EQ(record(), "5.0.1###9e107d9d372bb6826bd81d3542a419d6\n" + sha256);

  std::wstring oneDigitOff = wideSha256;
  oneDigitOff.back() = L'3';
  EXPECT_EQ(Check(md5, L"", L"5.0.1", oneDigitOff), CDownLoadImpl::kSha256Differs);
  EXPECT_EQ(record(), "5.0.1###9e107d9d372bb6826bd81d3542a419d6\n" + sha256);
  EXPECT_EQ(Check(md5, L"", L"5.0.1", platform::AnsiToWide("D7A8FBB3" + sha256.substr(8))),
            CDownLoadImpl::kSha256Differs);
  EXPECT_EQ(Check(L"0", md5.substr(1), L"5.0.1", oneDigitOff), CDownLoadImpl::kSha256Differs);
  EXPECT_EQ(Check(L"0", md5.substr(1), L"5.0.1", wideSha256), CDownLoadImpl::kMd5Differs);  // the MD5 still counts
}
