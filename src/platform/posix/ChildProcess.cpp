// posix backend: a started program that the caller waits for.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/PinnedFile.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "platform/posix/PosixInternal.h"

extern char** environ;

namespace platform {

namespace {

constexpr auto kPollStep = std::chrono::milliseconds(10);

class PosixChildProcess : public ChildProcess {
 public:
  explicit PosixChildProcess(pid_t pid) : pid_(pid) {}
  // A child that has ended meanwhile is reaped; one that still runs is left.
  ~PosixChildProcess() override {
    if (!ended_) waitpid(pid_, nullptr, WNOHANG);
  }

  bool Wait(uint32_t ms, uint32_t* exitCode) override {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!ended_) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      } else if (std::chrono::steady_clock::now() >= deadline) {
        return false;
      } else {
        std::this_thread::sleep_for(kPollStep);
      }
    }
    if (exitCode) *exitCode = static_cast<uint32_t>(exitCode_);
    return true;
  }

 private:
  pid_t pid_;
  bool ended_ = false;
  int exitCode_ = 0;
};

}  // namespace

namespace posix {

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < commandLine.size()) {
    while (i < commandLine.size() && static_cast<unsigned char>(commandLine[i]) <= ' ') ++i;
    if (i == commandLine.size()) break;
    std::string word;
    bool quoted = false;
    for (; i < commandLine.size() && (quoted || static_cast<unsigned char>(commandLine[i]) > ' '); ++i) {
      if (commandLine[i] == '"') quoted = !quoted;
      else word += commandLine[i];
    }
    words.push_back(word);
  }
  return words;
}

}  // namespace posix

// A downloaded package has no execute bit; on Windows every file may run,
// so the owner's execute bit is added first. The path given to posix_spawn
// names the held descriptor: the child resolves it before its
// close-on-exec descriptors close. glibc's posix_spawn reports a failed exec
// as its result, so a program that cannot run is known here, not by an exit
// code of 127.
std::unique_ptr<ChildProcess> StartChildProcess(const PinnedFile& program, const std::wstring& commandLine,
                                                uint32_t* lastError) {
  const int fd = static_cast<int>(program.Native());
  struct stat info;
  if (fstat(fd, &info) == 0 && !(info.st_mode & S_IXUSR)) fchmod(fd, info.st_mode | S_IXUSR);
  std::vector<std::string> words{posix::NativePath(program.Path())};
  for (std::string& word : posix::SplitCommandLine(WideToAnsi(commandLine))) words.push_back(std::move(word));
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  const std::string held = "/proc/self/fd/" + std::to_string(fd);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, held.c_str(), nullptr, nullptr, argv.data(), environ);
  if (lastError) *lastError = error == 0 ? 0 : posix::Win32ErrorOf(error);
  if (error != 0) return nullptr;
  return std::make_unique<PosixChildProcess>(pid);
}

}  // namespace platform
