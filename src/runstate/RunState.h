// The values fixed once per run and read by many threads: the per-run paths,
// copies of the download settings, the content-length cache and the
// background flag. A plain object: the analytics front end holds the
// process's one and hands it out, and the layers below it (the download
// engine, the download configuration) use it without knowing analytics.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class EventSink;

namespace platform {
struct LocalTime;
}

// "%.4d%.2d%.2d%.2d%.2d%.2d%.3d" of the time: the run timestamp's form, also
// used by the upload archives.
std::wstring FormatRunTimestamp(const platform::LocalTime& time);

class RunState {
 public:
  // The process's run state, constructed on first use.
  static RunState& Shared();

  RunState() = default;
  RunState(const RunState&) = delete;
  RunState& operator=(const RunState&) = delete;

  // ---- per-run paths: written once on the main thread before any worker ----
  struct Paths {
    std::wstring runTimestamp, logFolder, logFile, downloadFolder;
    // The log lines of the set-up (a download folder not used as it was
    // found), for the log once it is configured.
    std::vector<std::string> notes;
  };
  void SetPaths(Paths paths) { paths_ = std::move(paths); }
  std::wstring GetLogFilePath() const { return paths_.logFile; }
  std::wstring GetLogFolder() const { return paths_.logFolder; }
  std::wstring GetDownloadFolder() const { return paths_.downloadFolder; }
  std::wstring GetRunTimestamp() const { return paths_.runTimestamp; }
  std::vector<std::string> GetPathNotes() const { return paths_.notes; }

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
  // Only a non-zero length of a non-empty URL is kept; unknown URLs give 0.
  void SetCachedValue(const std::string& key, int64_t value);
  int64_t GetCachedValue(const std::string& key) const;

  // ---- background mode: set once, never cleared ----
  void SetBackgroundMode() { backgroundMode_ = true; }
  bool IsBackgroundMode() const { return backgroundMode_; }

  // ---- where events go ----
  // Null detaches: events are then dropped. The sink must outlive its
  // attachment.
  void SetEventSink(EventSink* sink) { events_ = sink; }
  // To the attached sink (its result), or dropped (0).
  int SendEvent(const std::string& category, const std::string& action, const std::string& label,
                bool wait = false) const;
  int SendFunnel(const std::string& category, const std::string& action,
                 const std::map<std::string, std::string>& members, bool wait = false) const;

 private:
  Paths paths_;
  std::atomic<int32_t> downloaderConfig_{0}, sliceNum_{0}, sliceSize_{0},
      additionalTime_{0}, backRunning_{0}, connectTimeout_{3}, transferTimeout_{20};
  mutable std::mutex cacheLock_;
  std::map<std::string, int64_t> lengthCache_;
  std::atomic<bool> backgroundMode_{false};
  std::atomic<EventSink*> events_{nullptr};
};
