// The built Setup program started for real: single-instance guard, AutoRun,
// upload modes, the main window and its loop, the log file and the ordered
// shutdown.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>

#include "startup/wWndMain.h"
#include "SetupChild.h"
#include "platform/Platform.h"
#include "unit/TempFolder.h"

namespace {

const std::string kSetup = std::string(SETUP_BIN_DIR) + "/Setup";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Waits until the child's log shows `part` (or the time is up).
bool WaitForLog(const SetupChild& child, const std::string& part) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!Contains(child.LogText(), part)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// All copies of one run share the mutex "Zel_Downloader_578", so the
// scenarios run one after the other within one test.
TEST(SetupProcess, SecondCopyEndsAtOnceUnlessAutoRunAllowsIt) {
  TempFolder temp;
  const std::filesystem::path holdFile = temp.path() / "release-first-copy";

  SetupChild first(temp.path() / "first");
  first.SetEnv(platform::WideToUtf8(kTestHoldFileVariable), holdFile.string());
  ASSERT_TRUE(first.Start(kSetup, {}, "out.txt"));
  ASSERT_TRUE(WaitForLog(first, " Holding until")) << first.Output();

  SetupChild second(temp.path() / "second");
  ASSERT_TRUE(second.Start(kSetup, {}, "out.txt"));
  EXPECT_EQ(second.Wait(std::chrono::seconds(10)), 0);
  const std::string secondLog = second.LogText();
  // The first copy's main window is open, so the second copy stops at it.
  EXPECT_TRUE(Contains(secondLog, " Another installer window is open: OV_UI_Frame_578")) << secondLog;
  EXPECT_FALSE(Contains(secondLog, " Analytics init")) << secondLog;

  // A copy of the program with AutoRun=1 beside it goes on regardless.
  const std::filesystem::path autoRunDir = temp.path() / "autorun";
  std::filesystem::create_directories(autoRunDir / "bin");
  std::filesystem::copy_file(kSetup, autoRunDir / "bin" / "Setup");
  std::ofstream(autoRunDir / "bin" / "ov_downloader.cfg") << "[Settings]\nAutoRun=1\n";
  SetupChild autoRun(autoRunDir);
  ASSERT_TRUE(autoRun.Start((autoRunDir / "bin" / "Setup").string(), {}, "out.txt"));
  EXPECT_EQ(autoRun.Wait(), 0);
  EXPECT_TRUE(Contains(autoRun.LogText(), " Analytics init: downloader 578 site 10"))
      << autoRun.Output();
  EXPECT_TRUE(Contains(autoRun.LogText(), " Wait exit 3"));

  std::ofstream(holdFile) << "done";
  EXPECT_EQ(first.Wait(), 0);
  const std::string firstLog = first.LogText();
  // The main window ran: initialised, then closed when the hold file appeared.
  EXPECT_TRUE(Contains(firstLog, " Request For Product Config -- [Downloader Id]: 578")) << firstLog;
  // Where the log went is the program's last word (the demo relies on it).
  EXPECT_TRUE(Contains(first.Output(), "Setup log: " + first.LogPath().string() + "\n"));
  EXPECT_TRUE(std::regex_search(
      firstLog, std::regex(" Wait exit 1\n.*InstallUIMainWnd WaitForAllThreadExit\n.* Wait exit 2\n"
                           ".*CSingleUserLog WaitThreadForExit\n.* Wait exit 3\n")))
      << firstLog;
  // Every line: date, time with milliseconds, "--[Thread](id)", the message.
  EXPECT_TRUE(std::regex_search(
      firstLog,
      std::regex(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d{3}--\[Thread\]\(\d+\)  Wait exit 1$)",
                 std::regex::multiline)))
      << firstLog;
  // The download folder went to the only drive the copy could see.
  EXPECT_TRUE(std::filesystem::is_directory(temp.path() / "first" / "drive" / "RIVovaravizu" /
                                            "QuenloSetup"));
}

// The names the program keeps scrambled: two controls of the main window and
// the word of the machine marker's registry key, which the key's path shows
// only once put together (the layouts that name the controls are in the
// program compressed; the word is also the plain default install folder).
TEST(SetupProcess, ScrambledNamesAreNotPlainTextInTheProgram) {
  const std::string program = SetupChild::ReadFile(kSetup);
  ASSERT_GT(program.size(), 100000u);
  for (const std::string name : {"install_path_edit", "anima_layout", "Vantrel\\Downloader2.5.0"}) {
    const std::wstring wide(name.begin(), name.end());
    const std::string wideBytes(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
    EXPECT_EQ(program.find(name), std::string::npos) << name;
    EXPECT_EQ(program.find(wideBytes), std::string::npos) << name;
  }
}

TEST(SetupProcess, UploadModesEndAfterTheLogIsSetUp) {
  TempFolder temp;
  SetupChild close(temp.path() / "close");
  ASSERT_TRUE(close.Start(kSetup, {"-close05", "QuenloSetup_20240101123000123.log"}, "out.txt"));
  EXPECT_EQ(close.Wait(), 0);
  const std::string log = close.LogText();
  EXPECT_TRUE(
      Contains(log, " Upload mode: category close05 file QuenloSetup_20240101123000123.log"))
      << close.Output();
  EXPECT_FALSE(Contains(log, " Analytics init"));
  EXPECT_TRUE(std::filesystem::is_directory(temp.path() / "close" / "appdata" / "RIVovaravizu" /
                                            "logs" / "QuenloSetup"));

  SetupChild dump(temp.path() / "dump");
  ASSERT_TRUE(dump.Start(kSetup, {"-close01", "-dmp", "crash.dmp"}, "out.txt"));
  EXPECT_EQ(dump.Wait(), 0);
  EXPECT_TRUE(Contains(dump.LogText(), " Upload mode: category CrashDmp file crash.dmp"))
      << dump.Output();
}

}  // namespace
