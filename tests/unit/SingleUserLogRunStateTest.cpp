// The run state of CSingleUserLog: per-run paths and the length cache.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "FakeSystem.h"
#include "analytics/SingleUserLog.h"
#include "runstate/RunState.h"
#include "TempFolder.h"

namespace {

platform::LocalTime At(int second, int millisecond) {
  platform::LocalTime t;
  t.year = 2024; t.month = 1; t.day = 2; t.hour = 3; t.minute = 4;
  t.second = second; t.millisecond = millisecond;
  return t;
}

class RunPathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_.SetEnv(L"APPDATA", appData_);
    fake_.SetLocalTime(At(5, 6));
  }
  // A fake drive whose root is a real folder, so that creating the download
  // folder stays inside the test's folder.
  std::wstring DriveRoot(const char* name) {
    std::filesystem::create_directories(temp_.path() / name);
    return (temp_.path() / name).wstring() + sep_;
  }

  TempFolder temp_;
  const std::wstring sep_{platform::kPathSep};
  const std::wstring appData_ = (temp_.path() / "appdata").wstring();
  FakeSystem fake_;
  FakeSystemGuard guard_{fake_};
  CSingleUserLog& runState_ = CSingleUserLog::GetInstance();
};

TEST_F(RunPathsTest, LogFileIsNamedAfterStemAndMillisecondTimestamp) {
  fake_.AddDrive(DriveRoot("c"), 1ull << 30);
  runState_.SetupPaths(L"setup");
  const std::wstring folder = appData_ + sep_ + L"RIVovaravizu" + sep_ + L"logs" + sep_ + L"setup";
  EXPECT_EQ(runState_.State().GetRunTimestamp(), L"20240102030405006");
  EXPECT_EQ(runState_.State().GetLogFolder(), folder);
  EXPECT_EQ(runState_.State().GetLogFilePath(), folder + sep_ + L"setup_20240102030405006.log");
  EXPECT_TRUE(std::filesystem::is_directory(folder));

  fake_.SetLocalTime(At(5, 7));
  runState_.SetupPaths(L"setup");
  EXPECT_EQ(runState_.State().GetLogFilePath(), folder + sep_ + L"setup_20240102030405007.log");
}

TEST_F(RunPathsTest, DownloadFolderGoesToTheRoomiestFixedDrive) {
  fake_.AddDrive(DriveRoot("c"), 10ull << 30);
  const std::wstring roomiest = DriveRoot("d");
  fake_.AddDrive(roomiest, 200ull << 30);
  fake_.AddDrive(DriveRoot("e"), 2000ull << 30, platform::kDriveFixed, platform::kBusTypeUsb);
  runState_.SetupPaths(L"setup");
  const std::wstring expected = roomiest + L"RIVovaravizu" + sep_ + L"setup";
  EXPECT_EQ(runState_.State().GetDownloadFolder(), expected);
  EXPECT_TRUE(std::filesystem::is_directory(expected));
}

// Every fixed disk on USB: the download folder stays on the APPDATA drive,
// never relative to wherever the program runs.
TEST_F(RunPathsTest, WithoutACandidateDriveTheDownloadFolderStaysOnTheAppDataDrive) {
  if (platform::kPathSep != L'/') GTEST_SKIP() << "the APPDATA drive's root is a letter outside the test's folder";
  const std::wstring root = temp_.path().wstring() + sep_;  // holds APPDATA
  fake_.AddDrive(root, 100ull << 30, platform::kDriveFixed, platform::kBusTypeUsb);
  runState_.SetupPaths(L"setup");
  const std::wstring expected = root + L"RIVovaravizu" + sep_ + L"setup";
  EXPECT_EQ(runState_.State().GetDownloadFolder(), expected);
  EXPECT_TRUE(std::filesystem::is_directory(expected));
}

TEST(RunStateCache, KeepsOnlyNonEmptyKeysWithNonZeroLengths) {
  RunState& runState = RunState::Shared();
  const std::string url = "https://download.example.com/cache-test.exe";
  EXPECT_EQ(runState.GetCachedValue(url), 0);
  runState.SetCachedValue(url, 0);
  EXPECT_EQ(runState.GetCachedValue(url), 0);
  runState.SetCachedValue(url, 5000000000);
  runState.SetCachedValue(url, 0);
  EXPECT_EQ(runState.GetCachedValue(url), 5000000000);
  runState.SetCachedValue(url, 42);
  EXPECT_EQ(runState.GetCachedValue(url), 42);
  runState.SetCachedValue("", 7);
  EXPECT_EQ(runState.GetCachedValue(""), 0);
}

}  // namespace
