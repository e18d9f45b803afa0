// The log upload's names: the archive and upload names from one time, and
// the file names that may be uploaded at all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "upload/UploadNames.h"

namespace {

const platform::LocalTime kTime{2024, 1, 2, 3, 4, 5, 6};

TEST(UploadNamesTest, NamesComeFromTheTimeAndTheTextBeforeTheLastUnderscore) {
  EXPECT_EQ(upload::UploadName(L"setup_x_20240101123000123.log", kTime), "setup_x_20240102030405006.zip");
  EXPECT_EQ(upload::UploadName(L"crash.dmp", kTime), "");
  EXPECT_EQ(upload::NoNameUploadName(L"logs/20240102030405006.zip", kTime), "NoName_20240102030405006.zip");
  EXPECT_EQ(upload::NoNameUploadName(L"archive", kTime), "NoName_20240102030405006.tmp");
  EXPECT_EQ(upload::ArchivePath(L"", kTime), L"20240102030405006.zip");
}

TEST(UploadNamesTest, OnlyPlainNamesMayBeUploaded) {
  EXPECT_TRUE(upload::IsPlainFileName(L"QuenloSetup_20240101123000123.log"));
  EXPECT_TRUE(upload::IsPlainFileName(L"crash dump.dmp"));
  const std::vector<std::wstring> refused{L"",       L"..",     L"a..b",   L"../a.log", L"a/b",
                                         L"a\\b",    L"C:a.log", L"a.log:s", L"a.log.",   L"a.log ",
                                         L"a\tb",    std::wstring(L"a\0b", 3)};
  for (const std::wstring& name : refused)
    EXPECT_FALSE(upload::IsPlainFileName(name)) << platform::WideToUtf8(name);
}

}  // namespace
