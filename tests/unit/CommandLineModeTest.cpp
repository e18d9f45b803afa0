// The start-up's command-line modes and the log stem of the download URL.
#include <gtest/gtest.h>

#include "startup/CommandLineMode.h"
#include "startup/RunLog.h"

namespace {

TEST(CommandLineMode, CrashDumpWinsOverClose) {
  const CommandLineMode mode = ParseCommandLine(L"-close05 a.log -dmp crash 1.dmp");
  EXPECT_EQ(mode.kind, CommandLineMode::kCrashDumpUpload);
  EXPECT_EQ(mode.category, "CrashDmp");
  EXPECT_EQ(mode.fileName, L"crash 1.dmp");
  EXPECT_EQ(ParseCommandLine(L"-dmp x.dmp").fileName, L"x.dmp");
  EXPECT_EQ(ParseCommandLine(L"-dmp ").fileName, L"");
  // Without its trailing blank the switch is not recognised.
  EXPECT_EQ(ParseCommandLine(L"-dmp").kind, CommandLineMode::kInteractive);
}

// The closing window starts a copy with "-" + code + blank + log file name;
// the system hands that text over without the program's path.
TEST(CommandLineMode, CloseUploadTakesCodeAndNameByPosition) {
  CommandLineMode mode = ParseCommandLine(L"-close05 setup_20240101123000123.log");
  EXPECT_EQ(mode.kind, CommandLineMode::kCloseUpload);
  EXPECT_EQ(mode.category, "close05");
  EXPECT_EQ(mode.fileName, L"setup_20240101123000123.log");

  // Positions count from the start of the whole text, not from the switch.
  mode = ParseCommandLine(L" -close05 name.log");
  EXPECT_EQ(mode.category, "-close0");
  EXPECT_EQ(mode.fileName, L"name.log");

  mode = ParseCommandLine(L"-close");
  EXPECT_EQ(mode.kind, CommandLineMode::kCloseUpload);
  EXPECT_EQ(mode.category, "close");
  EXPECT_EQ(mode.fileName, L"");
}

TEST(CommandLineMode, OtherTextIsTheInteractiveInstaller) {
  for (const wchar_t* text : {L"", L"/S", L"-clos", L"-sendrestlogs", L"-DMP x"})
    EXPECT_EQ(ParseCommandLine(text).kind, CommandLineMode::kInteractive) << text;
}

TEST(LogStem, IsTheFileNameUpToItsFirstDot) {
  EXPECT_EQ(LogStemOfUrl(L"https://a.example.com/setup/setup.exe"), L"setup");
  EXPECT_EQ(LogStemOfUrl(L"https://a.example.com/x/Quenlo.Setup.exe"), L"Quenlo");
  EXPECT_EQ(LogStemOfUrl(L"https://a.example.com/x/.exe"), L"");
  // No "." after the last "/", or no "/" at all: no log file.
  EXPECT_EQ(LogStemOfUrl(L"https://a.example.com/setup/setup"), std::nullopt);
  EXPECT_EQ(LogStemOfUrl(L"https://a.example.com/dir.d/setup"), std::nullopt);
  EXPECT_EQ(LogStemOfUrl(L"setup.exe"), std::nullopt);
  EXPECT_EQ(LogStemOfUrl(L""), std::nullopt);
}

}  // namespace
