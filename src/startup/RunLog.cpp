#include "startup/RunLog.h"

#include <easylogging++.h>

#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/Platform.h"
#include "platform/Process.h"

namespace {

// The run's log file, written by this program rather than by the logging
// library, which opens its files by name: the log folder lies under the
// user's APPDATA, and an elevated run must never write through a link the
// user put there. The file is opened once without following a link, in
// text mode (CR LF on Windows) as the library would.
class RunLogFile : public el::LogDispatchCallback {
 public:
  static constexpr const char* kId = "RunLogFile";

  void Open(const std::wstring& path) {
    std::lock_guard<std::mutex> hold(lock_);
    uint32_t error = 0;
    file_.reset(platform::OpenFile(path, "a", &error));
    if (!file_) std::fprintf(stderr, "Setup log %s not opened, error %u\n", platform::WideToUtf8(path).c_str(), error);
  }

 protected:
  void handle(const el::LogDispatchData* data) override {
    const el::LogMessage* message = data->logMessage();
    if (data->dispatchAction() != el::base::DispatchAction::NormalLog || message->level() != el::Level::Info ||
        message->logger()->id() != "default")
      return;
    const std::string line = message->logger()->logBuilder()->build(message, true);
    std::lock_guard<std::mutex> hold(lock_);
    if (!file_) return;
    std::fwrite(line.data(), 1, line.size(), file_.get());
    std::fflush(file_.get());
  }

 private:
  struct Closer {
    void operator()(FILE* file) const { std::fclose(file); }
  };
  std::mutex lock_;
  std::unique_ptr<FILE, Closer> file_;
};

}  // namespace

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
  configuration.set(el::Level::Info, el::ConfigurationType::ToFile, "false");
  el::Loggers::reconfigureLogger("default", configuration);
  el::Loggers::addFlag(el::LoggingFlag::DisableApplicationAbortOnFatalLog);
  el::Loggers::removeFlag(el::LoggingFlag::LogDetailedCrashReason);
  el::Helpers::installLogDispatchCallback<RunLogFile>(RunLogFile::kId);
  el::Helpers::logDispatchCallback<RunLogFile>(RunLogFile::kId)->Open(logFile);
}
