#include "SdkLog.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Platform.h"
#include "platform/Process.h"

namespace {

constexpr size_t kMessageChars = 4095;  // the message buffer of 4096 characters
constexpr size_t kLineChars = 1023;     // wsprintfW's limit of 1024 with the NUL

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

struct LogFile {
  std::mutex lock;
  std::unique_ptr<FILE, FileCloser> file;
};

LogFile& Log() {
  static LogFile log;
  return log;
}

// Appends one finished line and flushes; -1 when no log is open.
int WriteLine(const std::string& line) {
  LogFile& log = Log();
  std::lock_guard<std::mutex> hold(log.lock);
  if (!log.file) return -1;
  std::fwrite(line.data(), 1, line.size(), log.file.get());
  std::fflush(log.file.get());
  return 0;
}

bool IsOpen() {
  LogFile& log = Log();
  std::lock_guard<std::mutex> hold(log.lock);
  return log.file != nullptr;
}

}  // namespace

void OpenSdkLog(const std::wstring& path) {
  LogFile& log = Log();
  std::lock_guard<std::mutex> hold(log.lock);
  log.file.reset();
  // Text mode: a line feed is stored the platform's way (CR LF on Windows).
  uint32_t error = 0;
  log.file.reset(platform::OpenFile(path, "a", &error));
}

int WriteSdkLog(const char* format, ...) {
  if (!IsOpen()) return -1;
  char buffer[16384];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);

  std::wstring message = platform::Utf8ToWide(buffer).substr(0, kMessageChars);
  for (wchar_t& c : message)
    if (c == L'\u2028') c = L'\n';
  const platform::LocalTime now = platform::System().Now();
  wchar_t head[64];
  std::swprintf(head, 64, L"%4d%02d%02d-%02d%02d%02d-%03d [%u] ", now.year, now.month, now.day,
                now.hour, now.minute, now.second, now.millisecond,
                static_cast<unsigned>(platform::CurrentProcessId()));
  const std::wstring line = (head + message).substr(0, kLineChars - 1) + L"\n";
  return WriteLine(platform::WideToUtf8(line));
}
