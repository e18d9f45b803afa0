// posix backend of the host-process services.
#include "platform/HostProcess.h"

#include <unistd.h>

#include <cstdio>

#include "platform/Platform.h"
#include "platform/posix/PosixInternal.h"

namespace platform {
namespace host {

std::wstring CommandLine() {
  std::string raw;
  posix::ReadWholeFile("/proc/self/cmdline", &raw);
  while (!raw.empty() && raw.back() == '\0') raw.pop_back();
  for (char& c : raw)
    if (c == '\0') c = ' ';
  return AnsiToWide(raw);
}

void EndProcess(int exitCode) {
  std::fflush(nullptr);
  _exit(exitCode);
}

bool StartHidden(const std::wstring& program, const std::wstring& arguments) {
  return RealSystem().ShellOpen(program, arguments, false);
}

}  // namespace host
}  // namespace platform
