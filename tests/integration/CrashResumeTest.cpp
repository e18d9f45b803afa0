// The download program killed (SIGKILL) at random moments and started again
// each time: the file it finally completes is the source, byte for byte.
// CRASH_RESUME_KILLS sets the number of kills (default 20; the stress script
// asks for more).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "platform/Digest.h"
#include "download/DownLoadImpl.h"
#include "RefServices.h"
#include "services/GeneratedContent.h"

namespace {

constexpr int64_t kSize = 48 * 1048576 + 777;

std::string FileMd5(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return md5Hex(std::string(std::istreambuf_iterator<char>(in), {}));
}

std::string GeneratedMd5(int64_t size) {
  std::string bytes(static_cast<size_t>(size), '\0');
  for (int64_t i = 0; i < size; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(services::GeneratedByte(i));
  return md5Hex(bytes);
}

pid_t StartDownload(const std::string& url, const std::filesystem::path& target) {
  pid_t pid = fork();
  if (pid == 0) {
    const std::string program = std::string(SETUP_BIN_DIR) + "/download";
    execl(program.c_str(), program.c_str(), "--quiet", url.c_str(), target.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Waits up to `ms` for the child; its exit status, or -1 when it still runs.
int WaitFor(pid_t pid, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= end) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

int KillCount() {
  const char* text = std::getenv("CRASH_RESUME_KILLS");
  return text && std::atoi(text) > 0 ? std::atoi(text) : 20;
}

}  // namespace

TEST(CrashResume, KilledDownloadsResumeToTheSourceBytes) {
  RefServices services({});
  // 4 connections of 6 MB/s: a whole download takes about two seconds.
  const std::string url = services.Url("/dl/rate=6000000/gen/" + std::to_string(kSize) + "/crash.bin");
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("setup_crash_resume_" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::filesystem::path target = folder / "crash.bin";
  const std::string expected = GeneratedMd5(kSize);

  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> delay(20, 600);
  int kills = 0, completed = 0;
  while (kills < KillCount()) {
    const pid_t child = StartDownload(url, target);
    const int status = WaitFor(child, delay(random));
    if (status < 0) {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
      ++kills;
      continue;
    }
    // Finished between two kills: check it and start a new round.
    ASSERT_EQ(status, 0);
    ASSERT_EQ(FileMd5(target), expected) << "after " << kills << " kills";
    ++completed;
    std::filesystem::remove(target);
    std::filesystem::remove(target.string() + ".xml");
  }
  const pid_t last = StartDownload(url, target);
  ASSERT_EQ(WaitFor(last, 60000), 0);
  EXPECT_EQ(FileMd5(target), expected);
  std::printf("kills %d, rounds completed between kills %d\n", kills, completed);
  std::filesystem::remove_all(folder);
}
