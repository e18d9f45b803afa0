// System services as free functions: system information, text conversions,
// drives and storage queries. They keep no state; each call asks the system
// (through the platform layer) afresh.
#pragma once

#include <cstdint>
#include <string>

namespace FuntionImpl {

// ---- system information ----
std::string GetOSVersionName(float* number);
bool IsWindows11();
std::string GetUILanguageName();
// The table text of a Windows language identifier ("0x%.4x_0x%.4x" if unknown).
std::string LanguageNameOf(uint16_t languageId);
bool IsWow64();
std::wstring ReadRegString(const std::wstring& key, const std::wstring& name);
bool WriteRegString(const std::wstring& key, const std::wstring& name, const std::wstring& text);
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::string AnsiToUtf8(const std::string& text);
std::wstring FindFileInSubDirs(const std::wstring& folder, const std::wstring& name);
std::string GetFileVersion(const std::wstring& path);
// ProductName, ProductVersion, LegalCopyright, FileDescription.
void GetFileVersionStrings(const std::wstring& path, std::wstring* productName,
                           std::wstring* productVersion, std::wstring* legalCopyright,
                           std::wstring* fileDescription);
double GetScreenInfo(int* width, int* height);
bool WillShowNetFrameCheck(const std::wstring& folder);
std::string GetChinaStandardTime();
std::wstring GetSystemRegion();
std::wstring GetHostOfUrl(const std::wstring& url);
uint32_t CreateDirectories(const std::wstring& path);
std::wstring GetSystemVolumeGuid();

// ---- processes ----
// Process id of the (last) process whose image is fullPath (any ASCII letter
// case) or, with withTmp, its ".tmp" twin; terminated when kill is set. -1
// when none matched, -2 when the process list cannot be read.
int FindProcessByFullPath(std::wstring fullPath, bool kill, bool withTmp);

// ---- drives and storage queries ----
bool IsSsdDrive(wchar_t letter);
// Solid-state test of a drive root ("C:\\" or a mount point).
bool IsSsdRoot(const std::wstring& root);
int GetBusType(const std::wstring& root);
std::wstring ListSsdDrives();
std::wstring MoveToRoomiestDrive(const std::wstring& path);

}  // namespace FuntionImpl
