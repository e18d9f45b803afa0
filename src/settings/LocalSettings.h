// The optional test and automation switches in "ov_downloader.cfg" beside the
// program. Every query reads the file again; a switch is on only at value 1.
// Only builds made for tests (SETUP_TRUST_SWITCHES) read the file: in the
// shipped program every query answers as if it were absent.
#pragma once

#include <string>

namespace LocalSettings {
std::wstring SettingsFilePath();
bool IsTestEnv();
bool IsAutoRun();
bool IsCrashTest();

// TLS of the HTTP client: "CaBundle" (string) names a PEM file of further
// certificate authorities to trust; empty when the key is absent.
std::wstring CaBundle();
// "TlsVerify" 0 switches certificate and host checks off for a test
// environment; absent or any other value keeps them on.
bool IsTlsVerifyOff();
// "ServiceHost" ("host" or "host:port") replaces the hosts of the
// configuration server, the alert, log collection and data services the
// program was built with, so that a test or the demo serves them on
// loopback; empty when absent.
std::string ServiceHost();
// "AnalyticsHost" replaces the analytics collectors and the GA4 endpoint the
// same way. Empty when absent.
std::string AnalyticsHost();
}  // namespace LocalSettings
