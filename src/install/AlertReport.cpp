#include "install/AlertReport.h"

#include "config/CConfigure.h"
#include "base/ScrambledText.h"
#include "net/HttpTransport.h"
#include "settings/LocalSettings.h"

// The deployment's alert host; a demo or test build may set another.
#ifndef SETUP_ALERT_HOST
#define SETUP_ALERT_HOST "alert.quenlo-example.com"
#endif

namespace {

constexpr char kPath[] = "/api/exception/send";

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
  return "pid=" + std::to_string(pid) + "&type=2&exception_code=" + HttpTransport::Escape(exceptionCode) +
         "&other=" + HttpTransport::Escape(queryUrl) + "," + HttpTransport::Escape(packageUrl);
}
