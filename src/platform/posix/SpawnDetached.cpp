// posix backend: starting a program that outlives this process.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>

#include "platform/Platform.h"

#include "platform/posix/PosixInternal.h"

namespace platform {
namespace posix {

namespace {

// In the starting child: tells the parent why the program did not start.
[[noreturn]] void Fail(int status) {
  const int error = errno;
  (void)!write(status, &error, sizeof error);
  _exit(0);
}

}  // namespace

// Double fork, so that init adopts the program and no zombie is left. A
// close-on-exec pipe tells whether the exec worked: it closes without data
// on success and carries errno on failure.
bool SpawnDetached(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& folder, int* error) {
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  int failure = 0;
  int status[2];
  if (pipe2(status, O_CLOEXEC) != 0) {
    if (error) *error = errno;
    return false;
  }
  const pid_t child = fork();
  if (child < 0) {
    failure = errno;
    close(status[0]);
    close(status[1]);
    if (error) *error = failure;
    return false;
  }
  if (child == 0) {
    close(status[0]);
    setsid();
    const pid_t grandchild = fork();
    if (grandchild < 0) Fail(status[1]);
    if (grandchild == 0) {
      if (!folder.empty() && chdir(folder.c_str()) != 0) Fail(status[1]);
      const int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
      }
      execvp(program.c_str(), argv.data());
      Fail(status[1]);
    }
    _exit(0);
  }
  close(status[1]);
  int ignored = 0;
  waitpid(child, &ignored, 0);
  ssize_t n;
  do n = read(status[0], &failure, sizeof failure);
  while (n < 0 && errno == EINTR);
  close(status[0]);
  if (error) *error = n == 0 ? 0 : failure;
  return n == 0;
}

std::vector<std::string> BlankSeparatedWords(const std::wstring& parameters) {
  std::vector<std::string> words;
  std::istringstream split(WideToUtf8(parameters));
  for (std::string word; split >> word;) words.push_back(word);
  return words;
}

}  // namespace posix
}  // namespace platform
