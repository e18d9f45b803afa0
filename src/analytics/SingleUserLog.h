// The one process-wide CSingleUserLog: the run state (per-run paths, copies
// of the download settings, the content-length cache, the background flag)
// and, on top of it, the analytics front end.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <json/json.h>

class IWebLogNew;

namespace platform {
struct LocalTime;
}

// "%.4d%.2d%.2d%.2d%.2d%.2d%.3d" of the time: the run timestamp's form, also
// used by the upload archives.
std::wstring FormatRunTimestamp(const platform::LocalTime& time);

class CSingleUserLog {
 public:
  // The one instance, constructed on first use.
  static CSingleUserLog& GetInstance();

  // ---- per-run paths ----
  // Fills the run timestamp, log folder, log file and download folder from the
  // log stem and creates both folders. Runs once, on the main thread. The
  // download folder is made of folders only this program may change
  // (FuntionImpl::PreparePrivateFolder); empty when none could be made.
  void SetupPaths(const std::wstring& logStem);
  std::wstring GetLogFilePath() const;
  std::wstring GetLogFolder() const;
  std::wstring GetDownloadFolder() const;
  std::wstring GetRunTimestamp() const;
  // The log lines of the set-up (a download folder not used as it was found),
  // for the log once it is configured.
  std::vector<std::string> GetPathNotes() const { return pathNotes_; }

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
  // Results: 0 accepted by the SDK; -99 analytics off (AutoRun); -1 no
  // reporting object; otherwise the SDK's last result (after three tries).
  static constexpr int kAnalyticsOff = -99;
  static constexpr int kNoReportObject = -1;

  // Start-up, before any other thread sends events: stores the run's
  // analytics values, works out the is-new flag and starts the SDK.
  void InitUserLog(int32_t downloaderId, int32_t siteId, const std::string& productVersion,
                   const std::string& productName, const std::string& startupUrl, bool kitFlag,
                   int32_t mainPid);
  // The general event entry: an "Other"/"FlowError" event also reports an
  // "ErrorReporting" funnel event.
  int AddUserLogEvent(const std::string& category, const std::string& action,
                      const std::string& label, bool wait = false);
  // The form behind AddUserLogEvent: derived core-function funnel events,
  // then the GA4 event. The two integers and the first text are not used.
  int AddUserLog(int, const std::string& action, bool wait, int, const std::string&,
                 const std::string& label, const std::string& category);
  int AddUserLog_funnel(const std::string& eventType, const std::string& coreFuncName, int step,
                        const std::string& category, const std::string& action,
                        const std::string& label, bool wait = false, bool kitOverride = false);
  int AddUserLog_funnelEx(const std::string& category, const std::string& action,
                          const std::map<std::string, std::string>& members, bool wait = false,
                          bool kitOverride = false);
  int AddUserLog_funnelPair(const std::string& category, const std::string& action,
                            const std::string& key, const std::string& value, bool wait = false,
                            bool kitOverride = false);
  // Sends tools_lang (a language code) and product_version to the SDK's
  // extra common fields.
  void UpdateExtraCommon(const std::string& languageCode, const std::string& productVersion);
  // Logs and returns at once: undelivered items stay in the SDK's queue file.
  bool WaitThreadForExit();

  // What the main window tells funnel events: the product version of its
  // download configuration and the language code of its current language.
  class FunnelSource {
   public:
    virtual ~FunnelSource() = default;
    virtual std::string FunnelProductVersion() = 0;
    virtual std::string FunnelToolsLang() = 0;
  };
  // Set by the main window when it initialises; null detaches it.
  void SetFunnelSource(FunnelSource* source);

  // The GA4 parameter string of a simple event (at most 4095 bytes).
  std::string Ga4Parameters(const std::string& category, const std::string& action,
                            const std::string& label) const;
  bool IsNew() const { return isNew_; }
  // The operating system's name followed by " 64bit" or " 32bit".
  const std::string& OsText() const { return osText_; }
  const std::string& FileNameId() const { return fileNameId_; }

  // A separate instance around a given reporting object (tests); the
  // process's instance uses GetReportObj().
  explicit CSingleUserLog(IWebLogNew* report);

  CSingleUserLog(const CSingleUserLog&) = delete;
  CSingleUserLog& operator=(const CSingleUserLog&) = delete;

 private:
  CSingleUserLog();

  int SendGa4Event(const std::string& category, const std::string& action,
                   const std::string& label, bool wait);
  // The SDK's AddEvent up to three times; logs when all fail.
  int SendFunnel(const Json::Value& actions, const std::string& category,
                 const std::string& action, bool wait, bool kitOverride);
  std::string FunnelText(const Json::Value& actions, bool kitOverride);
  // One step of a derived core-function flow.
  void SendCoreFuncStep(const char* coreFunc, std::atomic<bool>& started,
                        std::atomic<int32_t>& step, const std::string& label, bool wait,
                        bool kitOverride);
  std::wstring GalogPath() const;
  bool IsNewDay();
  void UpdateGalogVersion();

  // Written once on the main thread before any worker exists.
  std::wstring runTimestamp_, logFolder_, logFile_, downloadFolder_;
  std::vector<std::string> pathNotes_;

  std::atomic<int32_t> downloaderConfig_{0}, sliceNum_{0}, sliceSize_{0},
      additionalTime_{0}, backRunning_{0}, connectTimeout_{3}, transferTimeout_{20};

  mutable std::mutex cacheLock_;
  std::map<std::string, int64_t> lengthCache_;

  std::atomic<bool> backgroundMode_{false};

  // ---- analytics: fixed at construction ----
  IWebLogNew* report_ = nullptr;
  std::string installerVersion_, fileNameId_, osText_, uiLanguage_, uiCountry_;
  // ---- set by InitUserLog before other threads send events ----
  int32_t siteId_ = 0, mainPid_ = 0;
  std::string productName_, startupUrl_;
  bool kitFlag_ = false, isNew_ = false;
  // ---- changed by events on any thread ----
  std::atomic<bool> versionPending_{true};
  std::atomic<bool> flowErrorStarted_{false}, toolKitStarted_{false};
  std::atomic<int32_t> flowErrorStep_{0}, toolKitStep_{0};
  std::mutex funnelLock_;  // the funnel source and the cached product version
  FunnelSource* funnelSource_ = nullptr;
  std::string funnelProductVersion_;
};
