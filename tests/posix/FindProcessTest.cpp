// Finding and terminating the processes that run a file, the worker pool's
// open-kill-reopen rule for a target file that a running program holds (on
// Linux a running executable cannot be opened for writing), the window's
// running-product check, and starting programs from a Windows-style
// command line.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "download/CDownloadThreadManager.h"
#include "download/DownloadEvents.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "platform/posix/PosixInternal.h"
#include "system/FuntionImpl.h"
#include "unit/MainWindowFixture.h"
#include "unit/TempFolder.h"

namespace {

class RunningCopy {
 public:
  explicit RunningCopy(const std::filesystem::path& image) : image_(image) {
    std::filesystem::create_directories(image.parent_path());
    std::filesystem::copy_file("/bin/sleep", image, std::filesystem::copy_options::overwrite_existing);
    pid_ = fork();
    if (pid_ == 0) {
      execl(image.c_str(), image.c_str(), "30", static_cast<char*>(nullptr));
      _exit(127);
    }
    // Running once its image shows in /proc.
    for (int i = 0; i < 200 && std::filesystem::read_symlink("/proc/" + std::to_string(pid_) + "/exe",
                                                               ignored_) != image;
         ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~RunningCopy() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  int pid() const { return pid_; }
  // True when the process has been terminated (it is a zombie or reaped).
  bool ended() const {
    int status = 0;
    return waitpid(pid_, &status, WNOHANG) == pid_;
  }

 private:
  std::filesystem::path image_;
  std::error_code ignored_;
  pid_t pid_ = -1;
};

std::wstring Wide(const std::filesystem::path& path) { return platform::AnsiToWide(path.string()); }

}  // namespace

TEST(FindProcessByFullPath, KillsOnlyTheCopyAtThatPath) {
  TempFolder folder;
  RunningCopy mine(folder.path() / "a" / "Setup.exe");
  RunningCopy other(folder.path() / "b" / "setup.exe");
  EXPECT_EQ(FuntionImpl::FindProcessByFullPath(Wide(folder.path() / "a" / "Setup.exe"), false, false),
            mine.pid());
  EXPECT_FALSE(mine.ended());
  // Letter case of the file name does not matter; the other folder's copy stays.
  EXPECT_EQ(FuntionImpl::FindProcessByFullPath(Wide(folder.path() / "a" / "setup.exe"), true, false),
            mine.pid());
  EXPECT_TRUE(mine.ended());
  EXPECT_FALSE(other.ended());
  EXPECT_EQ(FuntionImpl::FindProcessByFullPath(Wide(folder.path() / "c" / "setup.exe"), false, false), -1);
}

TEST(FindProcessByFullPath, WithTmpAlsoKillsTheTemporaryTwin) {
  TempFolder folder;
  RunningCopy twin(folder.path() / "is-1" / "setup.tmp");
  EXPECT_EQ(FuntionImpl::FindProcessByFullPath(Wide(folder.path() / "setup.exe"), true, true), twin.pid());
  EXPECT_TRUE(twin.ended());
}

TEST(DownloadPool, TargetHeldByARunningProgramIsFreedAndOpened) {
  TempFolder folder;
  // A name of its own: the kill also takes its ".tmp" twin, which must not
  // be another test's process.
  const std::filesystem::path target = folder.path() / "Held.exe";
  RunningCopy holder(target);
  CDownloadThreadManager pool(target.string());
  EXPECT_EQ(pool.createThreads(2), 2);
  EXPECT_TRUE(holder.ended());
  EXPECT_NE(pool.file(), nullptr);
}

TEST(DownloadPool, UnopenableTargetFailsAfterOneTry) {
  TempFolder folder;
  std::vector<std::string> labels;
  DownloadEvents::SetSink([&](const std::string&, const std::string&, const std::string& action,
                              const std::string& label, const std::string&, const std::string&) {
    if (action == "OpenFileErrCode") labels.push_back(label);
  });
  CDownloadThreadManager pool((folder.path() / "missing" / "setup.exe").string());
  EXPECT_EQ(pool.createThreads(2), -1);
  DownloadEvents::SetSink(nullptr);
  EXPECT_EQ(labels, std::vector<std::string>{"2"});
  EXPECT_EQ(pool.threadCount(), 0u);
}

class RunningProduct : public MainWindowTest {};

// The product's process name as the configuration gives it.
TEST_F(RunningProduct, ARunningCopyStopsTheInstallUntilItEnds) {
  analytics_.State().SetBackgroundMode();
  auto window = Open();
  EXPECT_TRUE(window->AppIsRunning());
  RunningCopy product(bed_.temp.path() / "Quenlo PDF Editor.exe");
  EXPECT_FALSE(window->AppIsRunning());
  EXPECT_EQ(window->AutoAnsweredKind(), kMsgAppExist);
  kill(product.pid(), SIGKILL);
  while (!product.ended()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(window->AppIsRunning());
}

TEST(StartProgram, TheCommandLineSplitsAsOnWindows) {
  using platform::posix::SplitCommandLine;
  using Words = std::vector<std::wstring>;
  EXPECT_EQ(SplitCommandLine(L"\"C:\\Program Files\\Q\\q.exe\" -a  \"b c\""),
            (Words{L"C:\\Program Files\\Q\\q.exe", L"-a", L"b c"}));
  EXPECT_EQ(SplitCommandLine(L"q.exe a\\\\\"b c\" d\\\"e f\\g"),
            (Words{L"q.exe", L"a\\b c", L"d\"e", L"f\\g"}));
  EXPECT_EQ(SplitCommandLine(L"C:\\q\\ \"say \"\"hi\"\"\" \"\""), (Words{L"C:\\q\\", L"say \"hi\"", L""}));
  EXPECT_EQ(SplitCommandLine(L""), Words{L""});
}

// Started in its own folder, detached; a missing one is error 2.
TEST(StartTargetMainExe, TheProductStartsDirectlyInItsFolder) {
  TempFolder temp;
  const std::filesystem::path folder = temp.path() / "Quenlo App";
  std::filesystem::create_directories(folder);
  const std::filesystem::path product = folder / "Quenlo.exe";
  std::ofstream(product) << "#!/bin/sh\npwd > started.txt\n";
  std::filesystem::permissions(product, std::filesystem::perms::owner_all);
  std::vector<std::string> labels;
  const auto report = [&](const std::string&, const std::string&, const std::string& label) {
    labels.push_back(label);
  };
  EXPECT_EQ(FuntionImpl::StartTargetMainExe(L"\"" + Wide(product) + L"\"", 1, report), 0);
  std::string started;
  for (int i = 0; i < 500 && started.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::getline(std::ifstream(folder / "started.txt"), started);
  }
  EXPECT_EQ(started, folder.string());
  EXPECT_EQ(FuntionImpl::StartTargetMainExe(L"\"" + Wide(folder / "gone.exe") + L"\"", 1, report), -1);
  EXPECT_EQ(labels, std::vector<std::string>{"2"});
}
