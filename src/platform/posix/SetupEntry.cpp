// The program entry point on posix systems: the arguments after the
// program's path, joined with blanks, are the command line that Windows
// hands to wWinMain.
#include <clocale>
#include <string>

#include "startup/wWndMain.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
  std::setlocale(LC_CTYPE, "");  // arguments are in the locale's codeset
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  return RunSetup(platform::AnsiToWide(commandLine));
}
