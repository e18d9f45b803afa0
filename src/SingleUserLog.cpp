#include "SingleUserLog.h"

#include <easylogging++.h>

#include <cstdio>

#include "FuntionImpl.h"
#include "platform/Platform.h"

CSingleUserLog& CSingleUserLog::GetInstance() {
  static CSingleUserLog instance;
  return instance;
}

// ---- per-run paths ------------------------------------------------------------

namespace {

// Year to millisecond, 17 digits: two runs in the same second still differ.
std::wstring FormatRunTimestamp(const platform::LocalTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%.4d%.2d%.2d%.2d%.2d%.2d%.3d", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond);
  return std::wstring(text, text + std::char_traits<char>::length(text));
}

}  // namespace

void CSingleUserLog::SetupPaths(const std::wstring& logStem) {
  const std::wstring sep(1, platform::kPathSep);
  runTimestamp_ = FormatRunTimestamp(platform::System().Now());

  // Without APPDATA the folder is relative to the current drive; set-up goes on.
  logFolder_ = platform::AppDataFolder() + sep + L"RIVovaravizu" + sep + L"logs" + sep + logStem;
  FuntionImpl::CreateDirectories(logFolder_);
  logFile_ = logFolder_ + sep + logStem + L"_" + runTimestamp_ + L".log";

  // The drive root of APPDATA ("C:\\", the first three characters, on
  // Windows) stands in until MoveToRoomiestDrive puts the roomiest fixed
  // drive's root in its place.
  downloadFolder_ = FuntionImpl::MoveToRoomiestDrive(FuntionImpl::DriveRootOf(logFolder_) +
                                                     L"RIVovaravizu" + sep + logStem);
  FuntionImpl::CreateDirectories(downloadFolder_);
}

std::wstring CSingleUserLog::GetLogFilePath() const { return logFile_; }
std::wstring CSingleUserLog::GetLogFolder() const { return logFolder_; }
std::wstring CSingleUserLog::GetDownloadFolder() const { return downloadFolder_; }
std::wstring CSingleUserLog::GetRunTimestamp() const { return runTimestamp_; }

// ---- content-length cache -------------------------------------------------------

void CSingleUserLog::SetCachedValue(const std::string& key, int64_t value) {
  if (key.empty() || value == 0) return;
  std::lock_guard<std::mutex> guard(cacheLock_);
  lengthCache_[key] = value;
}

int64_t CSingleUserLog::GetCachedValue(const std::string& key) const {
  std::lock_guard<std::mutex> guard(cacheLock_);
  const auto found = lengthCache_.find(key);
  return found == lengthCache_.end() ? 0 : found->second;
}

// ---- analytics front end ----------------------------------------------------------

int CSingleUserLog::AddUserLogEvent(const std::string& category, const std::string& action,
                                    const std::string& label, bool) {
  LOG(INFO) << " [event] " << category << ", " << action << ", " << label;
  return -1;
}

int CSingleUserLog::AddUserLog_funnelEx(const std::string& category, const std::string& action,
                                        const std::map<std::string, std::string>& members, bool,
                                        bool) {
  std::string text;
  for (const auto& member : members) text += ", " + member.first + "=" + member.second;
  LOG(INFO) << " [funnelEx] " << category << ", " << action << text;
  return -1;
}
