// posix backend of the host-process services.
#include "platform/HostProcess.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "platform/Platform.h"

namespace platform {
namespace host {

std::wstring CommandLine() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  while (!raw.empty() && raw.back() == '\0') raw.pop_back();
  for (char& c : raw)
    if (c == '\0') c = ' ';
  return AnsiToWide(raw);
}

void EndProcess(int exitCode) {
  std::fflush(nullptr);
  _exit(exitCode);
}

// Double fork: the grandchild is adopted by init, so no zombie is left and
// the copy outlives this process.
bool StartHidden(const std::wstring& program, const std::wstring& arguments) {
  const std::string path = WideToAnsi(program);
  std::vector<std::string> words{path};
  std::istringstream split(WideToAnsi(arguments));
  for (std::string word; split >> word;) words.push_back(word);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    setsid();
    if (fork() == 0) {
      const int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
      }
      execv(path.c_str(), argv.data());
    }
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return true;
}

}  // namespace host
}  // namespace platform
