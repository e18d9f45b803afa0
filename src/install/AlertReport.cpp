#include "install/AlertReport.h"

#include <curl/curl.h>

#include "config/CConfigure.h"
#include "config/ScrambledText.h"
#include "startup/LocalSettings.h"

// The deployment's alert host; a demo or test build may set another.
#ifndef SETUP_ALERT_HOST
#define SETUP_ALERT_HOST "alert.quenlo-example.com"
#endif

namespace {

constexpr char kPath[] = "/api/exception/send";

std::string Escaped(const std::string& text) {
  char* escaped = curl_easy_escape(nullptr, text.data(), static_cast<int>(text.size()));
  if (!escaped) return std::string();
  const std::string result = escaped;
  curl_free(escaped);
  return result;
}

}  // namespace

// A build for tests may name the host in its settings file.
std::string AlertServiceUrl() {
  std::string host = LocalSettings::ServiceHost();
  if (host.empty())
    host = LocalSettings::IsTestEnv() ? CConfigure::builtInHosts().main : SCRAMBLED_TEXT(SETUP_ALERT_HOST);
  return "https://" + host + kPath;
}

std::string AlertReportBody(int32_t pid, const std::string& exceptionCode, const std::string& queryUrl,
                            const std::string& packageUrl) {
  return "pid=" + std::to_string(pid) + "&type=2&exception_code=" + Escaped(exceptionCode) +
         "&other=" + Escaped(queryUrl) + "," + Escaped(packageUrl);
}
