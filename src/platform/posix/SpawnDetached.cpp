// posix backend: starting a program that outlives this process.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/PosixInternal.h"

namespace platform {
namespace posix {

// Double fork, so that init adopts the program and no zombie is left. A
// close-on-exec pipe tells whether the exec worked: it closes without data
// on success and carries errno on failure.
bool SpawnDetached(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  int status[2];
  if (pipe2(status, O_CLOEXEC) != 0) return false;
  const pid_t child = fork();
  if (child < 0) {
    close(status[0]);
    close(status[1]);
    return false;
  }
  if (child == 0) {
    close(status[0]);
    setsid();
    if (fork() == 0) {
      const int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
      }
      execvp(program.c_str(), argv.data());
      const int error = errno;
      (void)!write(status[1], &error, sizeof error);
    }
    _exit(0);
  }
  close(status[1]);
  int ignored = 0;
  waitpid(child, &ignored, 0);
  int error = 0;
  ssize_t n;
  do n = read(status[0], &error, sizeof error);
  while (n < 0 && errno == EINTR);
  close(status[0]);
  return n == 0;
}

}  // namespace posix
}  // namespace platform
