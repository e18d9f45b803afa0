// download: runs the installer's download engine for one URL and target.
//
//   download [--attempts N] [--slice-size BYTES] [--slice-num N] [--log FILE]
//            [--quiet] URL TARGET
//
// Each attempt resumes from TARGET.xml. Prints "progress <bytes> <total>"
// lines (unless --quiet) and "result <code>" per attempt; the exit status is
// 0 when the last attempt returned 1 (success), else that code.
#include <curl/curl.h>
#include <easylogging++.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "download/DownLoadImpl.h"
#include "runstate/RunState.h"
#include "platform/Platform.h"

namespace {

struct Options {
  int attempts = 1;
  int sliceSize = 0, sliceNum = 0;
  bool quiet = false;
  std::string log, url, target;
};

bool ParseArgs(int argc, char** argv, Options* options) {
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "--quiet") options->quiet = true;
    else if (arg == "--attempts" && value) options->attempts = std::atoi(argv[++i]);
    else if (arg == "--slice-size" && value) options->sliceSize = std::atoi(argv[++i]);
    else if (arg == "--slice-num" && value) options->sliceNum = std::atoi(argv[++i]);
    else if (arg == "--log" && value) options->log = argv[++i];
    else if (positional == 0 && ++positional) options->url = arg;
    else if (positional == 1 && ++positional) options->target = arg;
    else return false;
  }
  return positional == 2 && options->attempts > 0;
}

// The engine logs through the default logger: into --log, or nowhere.
void SetUpLog(const std::string& file) {
  el::Configurations config;
  config.setToDefault();
  config.setGlobally(el::ConfigurationType::Format, "%datetime--[Thread](%thread) %msg");
  config.setGlobally(el::ConfigurationType::ToStandardOutput, "false");
  config.setGlobally(el::ConfigurationType::ToFile, file.empty() ? "false" : "true");
  if (!file.empty()) config.setGlobally(el::ConfigurationType::Filename, file);
  el::Loggers::reconfigureLogger("default", config);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseArgs(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: download [--attempts N] [--slice-size BYTES] [--slice-num N] "
                 "[--log FILE] [--quiet] URL TARGET\n");
    return 2;
  }
  SetUpLog(options.log);
  curl_global_init(CURL_GLOBAL_ALL);
  RunState::Shared().SetSliceSize(options.sliceSize);
  RunState::Shared().SetSliceNum(options.sliceNum);
  if (!options.quiet) {
    CDownLoadImpl::SetProgressCallback([](int64_t done, int64_t total) {
      std::printf("progress %lld %lld\n", static_cast<long long>(done), static_cast<long long>(total));
      std::fflush(stdout);
    });
  }
  const std::wstring url = platform::AnsiToWide(options.url);
  const std::wstring target = platform::AnsiToWide(options.target);
  int result = 0;
  for (int attempt = 0; attempt < options.attempts && result != 1; ++attempt) {
    std::string cdnInfo;
    result = CDownLoadImpl::SuperDownloadFile(url.c_str(), target.c_str(), cdnInfo, true);
    std::printf("result %d%s%s\n", result, cdnInfo.empty() ? "" : " ", cdnInfo.c_str());
    std::fflush(stdout);
  }
  curl_global_cleanup();
  // The reporting SDK's sender thread (started with the run state) runs until
  // the process ends and is never joined; ending without static destructors
  // keeps them from pulling its queue away under it.
  el::Loggers::flushAll();
  std::fflush(nullptr);
  std::_Exit(result == 1 ? 0 : result);
}
