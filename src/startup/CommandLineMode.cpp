#include "startup/CommandLineMode.h"

#include "platform/Platform.h"

namespace {

// Positions past the end give an empty text rather than an error.
std::wstring TextFrom(const std::wstring& text, size_t position,
                      size_t count = std::wstring::npos) {
  return position < text.size() ? text.substr(position, count) : std::wstring();
}

}  // namespace

CommandLineMode ParseCommandLine(const std::wstring& commandLine) {
  static const std::wstring kDumpSwitch = L"-dmp ";
  CommandLineMode mode;
  const size_t dump = commandLine.find(kDumpSwitch);
  if (dump != std::wstring::npos) {
    mode.kind = CommandLineMode::kCrashDumpUpload;
    mode.fileName = TextFrom(commandLine, dump + kDumpSwitch.size());
    mode.category = "CrashDmp";
    return mode;
  }
  const size_t close = commandLine.find(L"-close");
  if (close != std::wstring::npos) {
    mode.kind = CommandLineMode::kCloseUpload;
    mode.fileName = TextFrom(commandLine, close + 9);
    mode.category = platform::WideToUtf8(TextFrom(commandLine, 1, 7));
  }
  return mode;
}
