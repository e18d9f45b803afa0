// posix side of the installer stand-in.
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/Platform.h"
#include "tools/standin/Standin.h"

namespace standin {

std::wstring RawCommandLine(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) line += (i > 1 ? " " : "") + std::string(argv[i]);
  return platform::AnsiToWide(line);
}

void ShowProductRunning(const std::wstring& text, int seconds) {
  std::printf("%s\n", platform::WideToUtf8(text).c_str());
  std::fflush(stdout);
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::seconds(seconds));
}

}  // namespace standin
