// The install flow's error reports to the alert service: a URL-encoded form
// POST to "/api/exception/send".
#pragma once

#include <cstdint>
#include <string>

// The deployment's alert service (SETUP_ALERT_HOST); with the TestEnv switch
// the main configuration host instead. Always HTTPS.
std::string AlertServiceUrl();
// "pid=<pid>&type=2&exception_code=<code>&other=<queryUrl>,<packageUrl>"
// with every value percent-encoded, so that the "&" and "=" of an address
// stay inside its field.
std::string AlertReportBody(int32_t pid, const std::string& exceptionCode, const std::string& queryUrl,
                            const std::string& packageUrl);
