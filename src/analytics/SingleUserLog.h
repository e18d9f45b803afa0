// The one process-wide CSingleUserLog: the analytics front end, holding the
// process's run state.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <json/json.h>

#include "runstate/EventSink.h"
#include "runstate/RunState.h"

class IWebLogNew;

class CSingleUserLog : public EventSink {
 public:
  // The one instance, constructed on first use.
  static CSingleUserLog& GetInstance();

  // The run state it holds: the process's for the process's instance, its
  // own for a separate one.
  RunState& State() { return state_; }
  const RunState& State() const { return state_; }
  // Fills the run timestamp, log folder, log file and download folder of
  // the run state from the log stem and creates both folders. Runs once, on
  // the main thread. The download folder is made of folders only this
  // program may change (FuntionImpl::PreparePrivateFolder); empty when none
  // could be made.
  void SetupPaths(const std::wstring& logStem);

  // ---- analytics front end ----
  // Results: 0 accepted by the SDK; -99 analytics off (AutoRun); -1 no
  // reporting object; otherwise the SDK's result. Each event reaches the SDK
  // once: a waiting one that was not delivered in the SDK's short wait
  // (-2) stays queued there, and no other result changes when asked again.
  static constexpr int kAnalyticsOff = -99;
  static constexpr int kNoReportObject = -1;
  static constexpr int kQueuedForLater = -2;
  static constexpr size_t kMaxGa4Parameters = 4095;

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
  // The event sink of the layers below: AddUserLogEvent and
  // AddUserLog_funnelEx.
  int Event(const std::string& category, const std::string& action, const std::string& label,
            bool wait) override;
  int Funnel(const std::string& category, const std::string& action,
             const std::map<std::string, std::string>& members, bool wait) override;
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

  // The GA4 parameter string of a simple event, each value percent-encoded
  // (at most kMaxGa4Parameters bytes).
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
  CSingleUserLog(IWebLogNew* report, RunState& state);

  int SendGa4Event(const std::string& category, const std::string& action,
                   const std::string& label, bool wait);
  int SendFunnel(const Json::Value& actions, const std::string& category,
                 const std::string& action, bool wait, bool kitOverride);
  std::string FunnelText(const Json::Value& actions, bool kitOverride);
  static void LogUndelivered(const char* kind, int result, const std::string& category, const std::string& action);
  // One step of a derived core-function flow.
  void SendCoreFuncStep(const char* coreFunc, std::atomic<bool>& started,
                        std::atomic<int32_t>& step, const std::string& label, bool wait,
                        bool kitOverride);
  std::wstring GalogPath() const;
  bool IsNewDay();
  void UpdateGalogVersion();

  std::unique_ptr<RunState> ownState_;  // a separate instance's
  RunState& state_;

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
