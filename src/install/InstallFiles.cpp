#include "install/InstallFiles.h"

#include <cstdio>
#include <cwchar>
#include <cwctype>

#include "base/TrimmedText.h"
#include "config/CConfigure.h"
#include "install/InstallHost.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "system/FuntionImpl.h"

#include <easylogging++.h>

namespace {

constexpr size_t kMarkerLine = 259;

bool IsFileNameCharacter(wchar_t c) {
  return c >= 0x20 && c != 0x7f && std::wcschr(L"\\/:\"*?<>|", c) == nullptr;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

std::wstring ReadMarkerLine(FILE* file) {
  char buffer[kMarkerLine + 1] = {};
  std::string text = std::fgets(buffer, sizeof buffer, file) ? buffer : "";
  const size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.resize(end);
  return platform::AnsiToWide(text);
}

// The marker's first line (version and MD5) and its second (the SHA-256,
// empty in a marker of a check without one), each at most kMarkerLine
// characters.
bool ReadMarker(const std::wstring& path, std::wstring* line, std::wstring* sha256Line) {
  uint32_t error = 0;
  FILE* file = platform::OpenFile(path, "rb", &error);
  if (!file) return false;
  *line = ReadMarkerLine(file);
  *sha256Line = ReadMarkerLine(file);
  std::fclose(file);
  return true;
}

}  // namespace

std::wstring SafeFileName(const std::wstring& text) {
  std::wstring name;
  for (wchar_t c : text)
    if (IsFileNameCharacter(c)) name += c;
  for (size_t dots; (dots = name.find(L"..")) != std::wstring::npos;) name.erase(dots, 2);
  const size_t first = name.find_first_not_of(L' ');
  const size_t last = name.find_last_not_of(L". ");
  if (first == std::wstring::npos || last == std::wstring::npos || last < first) return std::wstring();
  return name.substr(first, last + 1 - first);
}

bool IsSafeKeyName(const std::wstring& text) { return !text.empty() && SafeFileName(text) == text; }

std::wstring PackageFileName(const std::wstring& embeddedExtraUrl, const std::wstring& version) {
  std::wstring stem = embeddedExtraUrl.substr(embeddedExtraUrl.rfind(L'/') + 1);
  stem = stem.substr(0, stem.rfind(L'.'));
  // The server's version keeps only [0-9A-Za-z._-]: no look-alike of a
  // separator or a dot reaches the name.
  std::wstring plainVersion;
  for (wchar_t c : version)
    if ((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || std::wcschr(L"._-", c))
      plainVersion += c;
  return SafeFileName(stem + L"_" + plainVersion) + (FuntionImpl::isExePath(embeddedExtraUrl) ? L".exe" : L".apk");
}

// Without a download folder there are no paths: the download then fails
// for want of a target rather than writing beside the program.
PackageFiles::PackageFiles(const std::wstring& downloadFolder, const std::wstring& fileName)
    : package(downloadFolder.empty() ? std::wstring() : FuntionImpl::JoinPath(downloadFolder, fileName)),
      taskFile(package.empty() ? std::wstring() : package + L".xml"),
      marker(package.empty() ? std::wstring() : package + L".db") {}

PackageFiles PackageFilesOf(InstallHost& host) {
  return PackageFiles(host.Analytics().State().GetDownloadFolder(),
                      PackageFileName(host.Entry(L"Extra_download_url"), host.Configure().productVersion));
}

void RemoveFileIfPresent(const std::wstring& path) {
  if (platform::FileExists(path)) platform::RemoveFile(path);
}

void ClearAPPData(const PackageFiles& files) {
  uint32_t error = 0;
  const bool removed = platform::RemoveFile(files.package, &error);
  platform::RemoveFile(files.taskFile);
  platform::RemoveFile(files.marker);
  LOG(INFO) << " Clear cache: " << removed << ", " << error;
}

void DiscardStalePackage(const PackageFiles& files, const std::wstring& version, const std::wstring& md5,
                         const std::wstring& md5Extra, const std::wstring& sha256) {
  std::wstring line, sha256Line;
  if (!ReadMarker(files.marker, &line, &sha256Line)) return;
  const size_t separator = line.find(L"###");
  bool keep = false;
  if (separator != std::wstring::npos && line.substr(0, separator) == version) {
    const std::wstring stored = Lower(line.substr(separator + 3));
    const bool sha256Agrees = sha256.empty() || sha256Line.empty() || Lower(sha256Line) == sha256;
    keep = (stored == md5 || stored == md5Extra) && sha256Agrees;
  }
  if (!keep) {
    RemoveFileIfPresent(files.package);
    RemoveFileIfPresent(files.taskFile);
  }
  platform::RemoveFile(files.marker);
}

std::wstring ProductMainExePath(const CConfigure& record, const std::wstring& installPath) {
  const std::wstring name = SafeFileName(record.processName);
  if (record.loadState != CConfigure::kLoaded || name.empty()) return std::wstring();
  const std::wstring folder = TrimBlanks(installPath);
  const std::wstring direct = FuntionImpl::JoinPath(folder, name);
  if (platform::FileExists(direct)) return direct;
  return FuntionImpl::FindFileInSubDirs(FuntionImpl::JoinPath(folder, L""), name);
}
