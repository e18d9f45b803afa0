#include "settings/LocalSettings.h"

#include "platform/Platform.h"

namespace LocalSettings {

// Drive and directory of the running program, then the fixed file name.
std::wstring SettingsFilePath() {
  const std::wstring module = platform::System().ModulePath();
  const size_t lastSep = module.find_last_of(L"\\/");
  if (lastSep == std::wstring::npos) return L"ov_downloader.cfg";
  return module.substr(0, lastSep + 1) + L"ov_downloader.cfg";
}

#ifdef SETUP_TRUST_SWITCHES

namespace {

// Reads the switch afresh: the file may be edited between two queries.
bool SwitchIsOn(const wchar_t* key) {
  const std::wstring file = SettingsFilePath();
  if (!platform::FileExists(file)) return false;
  return platform::IniReadInt(file, L"Settings", key, 0) == 1;
}

std::string HostSetting(const wchar_t* key) {
  const std::wstring file = SettingsFilePath();
  if (!platform::FileExists(file)) return std::string();
  return platform::WideToUtf8(platform::IniReadString(file, L"Settings", key, L""));
}

}  // namespace

bool IsTestEnv() { return SwitchIsOn(L"TestEnv"); }
bool IsAutoRun() { return SwitchIsOn(L"AutoRun"); }
bool IsCrashTest() { return SwitchIsOn(L"CrashTest"); }

std::wstring CaBundle() {
  const std::wstring file = SettingsFilePath();
  if (!platform::FileExists(file)) return std::wstring();
  return platform::IniReadString(file, L"Settings", L"CaBundle", L"");
}

bool IsTlsVerifyOff() {
  const std::wstring file = SettingsFilePath();
  return platform::FileExists(file) && platform::IniReadInt(file, L"Settings", L"TlsVerify", 1) == 0;
}

std::string ServiceHost() { return HostSetting(L"ServiceHost"); }
std::string AnalyticsHost() { return HostSetting(L"AnalyticsHost"); }

#else

// The shipped program runs elevated from a folder any user can write, where
// the file is absent on users' machines: whatever is dropped there, every
// switch stays off, and the program does not even know their names.
bool IsTestEnv() { return false; }
bool IsAutoRun() { return false; }
bool IsCrashTest() { return false; }
std::wstring CaBundle() { return std::wstring(); }
bool IsTlsVerifyOff() { return false; }
std::string ServiceHost() { return std::string(); }
std::string AnalyticsHost() { return std::string(); }

#endif

}  // namespace LocalSettings
