#include "startup/LocalSettings.h"

#include "platform/Platform.h"

namespace LocalSettings {

namespace {

// Reads the switch afresh: the file may be edited between two queries.
bool SwitchIsOn(const wchar_t* key) {
  const std::wstring file = SettingsFilePath();
  if (!platform::FileExists(file)) return false;
  return platform::IniReadInt(file, L"Settings", key, 0) == 1;
}

}  // namespace

// Drive and directory of the running program, then the fixed file name.
std::wstring SettingsFilePath() {
  const std::wstring module = platform::System().ModulePath();
  const size_t lastSep = module.find_last_of(L"\\/");
  if (lastSep == std::wstring::npos) return L"ov_downloader.cfg";
  return module.substr(0, lastSep + 1) + L"ov_downloader.cfg";
}

bool IsTestEnv() { return SwitchIsOn(L"TestEnv"); }
bool IsAutoRun() { return SwitchIsOn(L"AutoRun"); }
bool IsCrashTest() { return SwitchIsOn(L"CrashTest"); }

// The shipped program runs elevated from a folder any user can write: the
// switches that weaken TLS exist only in builds made for tests.
std::wstring CaBundle() {
  const std::wstring file = SettingsFilePath();
  if (!SETUP_TRUST_SWITCHES || !platform::FileExists(file)) return std::wstring();
  return platform::IniReadString(file, L"Settings", L"CaBundle", L"");
}

bool IsTlsVerifyOff() {
  const std::wstring file = SettingsFilePath();
  return SETUP_TRUST_SWITCHES && platform::FileExists(file) && platform::IniReadInt(file, L"Settings", L"TlsVerify", 1) == 0;
}

namespace {

std::string HostSetting(const wchar_t* key) {
  const std::wstring file = SettingsFilePath();
  if (!SETUP_TRUST_SWITCHES || !platform::FileExists(file)) return std::string();
  return platform::WideToUtf8(platform::IniReadString(file, L"Settings", key, L""));
}

}  // namespace

std::string ServiceHost() { return HostSetting(L"ServiceHost"); }

std::string AnalyticsHost() { return HostSetting(L"AnalyticsHost"); }

}  // namespace LocalSettings
