#include "startup/RunLog.h"

#include <easylogging++.h>

#include "platform/Platform.h"

std::optional<std::wstring> LogStemOfUrl(const std::wstring& url) {
  const size_t slash = url.rfind(L'/');
  if (slash == std::wstring::npos) return std::nullopt;
  const size_t dot = url.find(L'.', slash + 1);
  if (dot == std::wstring::npos) return std::nullopt;
  return url.substr(slash + 1, dot - slash - 1);
}

void ConfigureRunLog(const std::wstring& logFile) {
  el::Configurations configuration;
  configuration.setToDefault();
  configuration.set(el::Level::Info, el::ConfigurationType::Format,
                    "%datetime--[Thread](%thread) %msg");
  configuration.set(el::Level::Info, el::ConfigurationType::Enabled, "true");
  configuration.set(el::Level::Info, el::ConfigurationType::ToStandardOutput, "true");
  configuration.set(el::Level::Info, el::ConfigurationType::ToFile, "true");
  configuration.set(el::Level::Info, el::ConfigurationType::Filename,
                    platform::WideToAnsi(logFile));
  el::Loggers::reconfigureLogger("default", configuration);
  el::Loggers::addFlag(el::LoggingFlag::DisableApplicationAbortOnFatalLog);
  el::Loggers::removeFlag(el::LoggingFlag::LogDetailedCrashReason);
}
