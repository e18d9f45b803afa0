// The one process-wide CSingleUserLog: the run state (per-run paths, copies
// of the download settings, the content-length cache, the background flag)
// and, on top of it, the analytics front end.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

class CSingleUserLog {
 public:
  // The one instance, constructed on first use.
  static CSingleUserLog& GetInstance();

  // ---- per-run paths ----
  // Fills the run timestamp, log folder, log file and download folder from the
  // log stem and creates both folders. Runs once, on the main thread.
  void SetupPaths(const std::wstring& logStem);
  std::wstring GetLogFilePath() const;
  std::wstring GetLogFolder() const;
  std::wstring GetDownloadFolder() const;
  std::wstring GetRunTimestamp() const;

  // ---- copies of the download settings ----
  void SetDownloaderConfig(int32_t v) { downloaderConfig_ = v; }
  int32_t GetDownloaderConfig() const { return downloaderConfig_; }
  void SetSliceNum(int32_t v) { sliceNum_ = v; }
  int32_t GetSliceNum() const { return sliceNum_; }
  void SetSliceSize(int32_t v) { sliceSize_ = v; }
  int32_t GetSliceSize() const { return sliceSize_; }
  void SetAdditionalTime(int32_t v) { additionalTime_ = v; }
  int32_t GetAdditionalTime() const { return additionalTime_; }
  void SetBackRunning(int32_t v) { backRunning_ = v; }
  int32_t GetBackRunning() const { return backRunning_; }
  void SetConnectTimeout(int32_t v) { connectTimeout_ = v; }
  int32_t GetConnectTimeout() const { return connectTimeout_; }
  void SetTransferTimeout(int32_t v) { transferTimeout_ = v; }
  int32_t GetTransferTimeout() const { return transferTimeout_; }

  // ---- content-length cache (URL text in UTF-8 -> length) ----
  void SetCachedValue(const std::string& key, int64_t value);
  int64_t GetCachedValue(const std::string& key) const;

  // ---- background mode: set once, never cleared ----
  void SetBackgroundMode() { backgroundMode_ = true; }
  bool IsBackgroundMode() const { return backgroundMode_; }

  // ---- analytics front end ----
  // Simple event and funnel event with extra members. Until the reporting
  // SDK is connected they only write the event to the log and return -1
  // (no reporting object).
  int AddUserLogEvent(const std::string& category, const std::string& action,
                      const std::string& label, bool wait = false);
  int AddUserLog_funnelEx(const std::string& category, const std::string& action,
                          const std::map<std::string, std::string>& members, bool wait = false,
                          bool kitOverride = false);

  CSingleUserLog(const CSingleUserLog&) = delete;
  CSingleUserLog& operator=(const CSingleUserLog&) = delete;

 private:
  CSingleUserLog() = default;

  // Written once on the main thread before any worker exists.
  std::wstring runTimestamp_, logFolder_, logFile_, downloadFolder_;

  std::atomic<int32_t> downloaderConfig_{0}, sliceNum_{0}, sliceSize_{0},
      additionalTime_{0}, backRunning_{0}, connectTimeout_{3}, transferTimeout_{20};

  mutable std::mutex cacheLock_;
  std::map<std::string, int64_t> lengthCache_;

  std::atomic<bool> backgroundMode_{false};
};
