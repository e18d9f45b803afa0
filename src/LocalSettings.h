// The optional test and automation switches in "ov_downloader.cfg" beside the
// program. Every query reads the file again; a switch is on only at value 1.
#pragma once

#include <string>

namespace LocalSettings {
std::wstring SettingsFilePath();
bool IsTestEnv();
bool IsAutoRun();
bool IsCrashTest();
}  // namespace LocalSettings
