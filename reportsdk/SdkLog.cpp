#include "SdkLog.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "CManagement.h"
#include "platform/Platform.h"
#include "platform/Process.h"

namespace {

constexpr size_t kMessageChars = 4095;  // the message buffer of 4096 characters
constexpr size_t kLineChars = 1023;     // wsprintfW's limit of 1024 with the NUL

}  // namespace

int WriteSdkLog(const char* format, ...) {
  CManagement& settings = CManagement::Get();
  if (!settings.IsLogOpen()) return -1;
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
  return settings.WriteLogLine(platform::WideToUtf8(line));
}
