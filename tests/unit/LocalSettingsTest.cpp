// The switches of "ov_downloader.cfg" beside the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "FakeSystem.h"
#include "settings/LocalSettings.h"
#include "TempFolder.h"

namespace {

class LocalSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { fake_.SetModulePath((folder_ / "Setup.exe").wstring()); }
  void WriteSettings(const std::string& body) {
    std::ofstream(folder_ / "ov_downloader.cfg") << body;
  }

  TempFolder temp_;
  const std::filesystem::path folder_ = temp_.path();
  FakeSystem fake_;
  FakeSystemGuard guard_{fake_};
};

TEST_F(LocalSettingsTest, FileSitsBesideTheProgram) {
  EXPECT_EQ(LocalSettings::SettingsFilePath(), (folder_ / "ov_downloader.cfg").wstring());
}

TEST_F(LocalSettingsTest, NoFileMeansEverySwitchOff) {
  EXPECT_FALSE(LocalSettings::IsTestEnv());
  EXPECT_FALSE(LocalSettings::IsAutoRun());
  EXPECT_FALSE(LocalSettings::IsCrashTest());
}

TEST_F(LocalSettingsTest, OnlyTheValueOneTurnsASwitchOn) {
  WriteSettings("[Settings]\nTestEnv=1\nAutoRun=2\nCrashTest=0\n");
  EXPECT_TRUE(LocalSettings::IsTestEnv());
  EXPECT_FALSE(LocalSettings::IsAutoRun());
  EXPECT_FALSE(LocalSettings::IsCrashTest());
  // Each query reads the file again.
  WriteSettings("[Settings]\nAutoRun=1\n");
  EXPECT_TRUE(LocalSettings::IsAutoRun());
  EXPECT_FALSE(LocalSettings::IsTestEnv());
  WriteSettings("[Other]\nAutoRun=1\n");
  EXPECT_FALSE(LocalSettings::IsAutoRun());
}

}  // namespace
