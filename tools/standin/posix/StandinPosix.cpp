// posix side of the installer stand-in.
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/Platform.h"
#include "tools/standin/Standin.h"

namespace standin {

// Setup splits its command line into arguments the way the installer reads
// it, dropping the quotation marks; an argument with a blank and no
// quotation mark of its own is quoted again, so the line reads the same.
std::wstring RawCommandLine(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument.find(' ') != std::string::npos && argument.find('"') == std::string::npos)
      argument = '"' + argument + '"';
    line += (i > 1 ? " " : "") + argument;
  }
  return platform::AnsiToWide(line);
}

void ShowProductRunning(const std::wstring& text, int seconds) {
  std::printf("%s\n", platform::WideToUtf8(text).c_str());
  std::fflush(stdout);
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::seconds(seconds));
}

}  // namespace standin
