#include "analytics/SingleUserLog.h"

#include <easylogging++.h>

#include <cstdio>

#include "analytics/AnalyticsChannels.h"
#include "net/HttpTransport.h"
#include "system/FuntionImpl.h"
#include "IWebLogNew.h"
#include "base/JsonText.h"
#include "settings/LocalSettings.h"
#include "platform/DeviceIdentity.h"
#include "platform/Platform.h"
#include "platform/SharedFile.h"

CSingleUserLog& CSingleUserLog::GetInstance() {
  static CSingleUserLog instance;
  return instance;
}

// ---- per-run paths ------------------------------------------------------------

void CSingleUserLog::SetupPaths(const std::wstring& logStem) {
  const std::wstring sep(1, platform::kPathSep);
  RunState::Paths paths;
  paths.runTimestamp = FormatRunTimestamp(platform::System().Now());

  // Without APPDATA the folder is relative to the current drive; set-up goes on.
  paths.logFolder = platform::AppDataFolder() + sep + L"RIVovaravizu" + sep + L"logs" + sep + logStem;
  FuntionImpl::CreateDirectories(paths.logFolder);
  paths.logFile = paths.logFolder + sep + logStem + L"_" + paths.runTimestamp + L".log";

  // The drive root of APPDATA ("C:\\", the first three characters, on
  // Windows) stands in until MoveToRoomiestDrive puts the roomiest fixed
  // drive's root in its place.
  paths.downloadFolder = FuntionImpl::PreparePrivateFolder(
      FuntionImpl::MoveToRoomiestDrive(FuntionImpl::DriveRootOf(paths.logFolder) + L"RIVovaravizu" + sep + logStem),
      &paths.notes);
  state_.SetPaths(std::move(paths));
}

int CSingleUserLog::Event(const std::string& category, const std::string& action, const std::string& label,
                          bool wait) {
  return AddUserLogEvent(category, action, label, wait);
}

int CSingleUserLog::Funnel(const std::string& category, const std::string& action,
                           const std::map<std::string, std::string>& members, bool wait) {
  return AddUserLog_funnelEx(category, action, members, wait);
}

// ---- analytics front end ----------------------------------------------------------

namespace {

// The file version of the running program; empty without a version resource.
std::string InstallerVersion() {
  return FuntionImpl::GetFileVersion(platform::System().ModulePath());
}

std::string FileNameIdOfProgram() {
  const std::wstring path = platform::System().ModulePath();
  const size_t sep = path.find_last_of(L"\\/");
  return platform::identity::IdBetweenUnderscoreAndDot(
      platform::WideToUtf8(sep == std::wstring::npos ? path : path.substr(sep + 1)));
}

// A new file renamed over the old one: a crash never leaves a cut galog.
void WriteJsonFile(const std::wstring& path, const Json::Value& value) {
  if (!platform::ReplaceFileContent(path, JsonText::ClassicStyled(value)))
    LOG(WARNING) << "galog.json not written";
}

// An unreadable galog (cut, or nested deeper than the reader allows) counts
// as an empty one and is written anew; a missing one is empty too.
Json::Value ReadJsonFile(const std::wstring& path) {
  std::string bytes, errors;
  if (!platform::ReadFileBytes(path, &bytes)) return Json::Value(Json::objectValue);
  Json::Value value = JsonText::ParseObject(bytes, &errors);
  if (!errors.empty()) LOG(WARNING) << "galog.json unreadable: " << errors;
  return value;
}

const char* const kCoreFuncEvent = "CoreFuncEvent";

}  // namespace

CSingleUserLog::CSingleUserLog() : CSingleUserLog(GetReportObj(), RunState::Shared()) {}

CSingleUserLog::CSingleUserLog(IWebLogNew* report)
    : CSingleUserLog(report, *new RunState) {
  ownState_.reset(&state_);
}

CSingleUserLog::CSingleUserLog(IWebLogNew* report, RunState& state)
    : state_(state), report_(report), installerVersion_(InstallerVersion()), fileNameId_(FileNameIdOfProgram()) {
  osText_ = FuntionImpl::GetOSVersionName(nullptr) + (FuntionImpl::IsWow64() ? " 64bit" : " 32bit");
  const std::string language = FuntionImpl::GetUILanguageName();
  const size_t underscore = language.find('_');
  uiLanguage_ = underscore == std::string::npos ? "Unknown" : language.substr(0, underscore);
  uiCountry_ = underscore == std::string::npos ? "Unknown" : language.substr(underscore + 1);
}

void CSingleUserLog::InitUserLog(int32_t downloaderId, int32_t siteId, const std::string& productVersion,
                                 const std::string& productName, const std::string& startupUrl, bool kitFlag,
                                 int32_t mainPid) {
  siteId_ = siteId;
  productName_ = productName;
  startupUrl_ = startupUrl;
  kitFlag_ = kitFlag;
  mainPid_ = mainPid;
  isNew_ = IsNewDay();
  if (!report_) return;
  report_->Init(kSdkTypeDownloader, mainPid, mainPid, "", "", productName.c_str(), productVersion.c_str(), "");
  report_->SetToolsInfo(downloaderId, kitFlag ? 1 : 0, "en", installerVersion_.c_str());
}

// ---- galog.json ----

std::wstring CSingleUserLog::GalogPath() const {
  const std::wstring folder = state_.GetLogFolder();
  return folder.empty() ? std::wstring() : folder + platform::kPathSep + L"galog.json";
}

// True on the first run of a local day; without a log folder every run is new.
bool CSingleUserLog::IsNewDay() {
  const std::wstring path = GalogPath();
  if (path.empty()) return true;
  Json::Value galog = ReadJsonFile(path);
  const platform::LocalTime today = platform::System().Now();
  const auto same = [&galog](const char* name, int value) {
    return galog[name].isInt() && galog[name].asInt() == value;
  };
  if (same("year", today.year) && same("month", today.month) && same("day", today.day)) return false;
  galog["year"] = today.year;
  galog["month"] = today.month;
  galog["day"] = today.day;
  WriteJsonFile(path, galog);
  return true;
}

void CSingleUserLog::UpdateGalogVersion() {
  const std::wstring path = GalogPath();
  if (path.empty()) return;
  Json::Value galog = ReadJsonFile(path);
  if (galog["version"].isString() && galog["version"].asString() == installerVersion_) return;
  galog["version"] = installerVersion_;
  WriteJsonFile(path, galog);
}

// ---- simple events ----

// Each value escaped on its own (a label taken from server headers, a
// product name), so that an "&" or "=" in one never splits or adds a
// parameter; the SDK keeps the escapes as they are.
std::string CSingleUserLog::Ga4Parameters(const std::string& category, const std::string& action,
                                          const std::string& label) const {
  const auto value = [](const std::string& text) { return HttpTransport::Escape(text); };
  const std::string dimensions =
      "&ep.cd1=" + value(installerVersion_) + "&ep.cd2=" + value(AnalyticsChannels::ChannelGroup(siteId_)) +
      "&ep.cd3=" + value(AnalyticsChannels::ChannelName(siteId_, startupUrl_)) + "&ep.cd4=" + value(productName_) +
      "&ep.cd5=" + value(uiCountry_) + "&ep.cd6=" + value(uiLanguage_) + "&ep.cd7=" + value(osText_) +
      "&ep.cd8=" + (kitFlag_ ? "0" : "1");
  std::string text = "&tid=" + value(AnalyticsChannels::kGa4MeasurementId) +
                     "&ep.ov_productname=Downloader&ep.ov_productversion=" + value(installerVersion_) +
                     "&ep.ov_category=" + value(category) + "&ep.ov_action=" + value(action) +
                     "&ep.ov_label=" + value(label) + "&en=" + value(action) + dimensions;
  if (text.size() > kMaxGa4Parameters) text.resize(kMaxGa4Parameters);
  return text;
}

int CSingleUserLog::AddUserLogEvent(const std::string& category, const std::string& action,
                                    const std::string& label, bool wait) {
  if (LocalSettings::IsAutoRun()) return kAnalyticsOff;
  LOG(INFO) << " [event] " << category << ", " << action << ", " << label;
  if (category == "Other" && action == "FlowError")
    AddUserLog_funnelPair("ErrorReporting", "Error", "MainErrorType", label, wait, false);
  return AddUserLog(0, action, wait, 0, "", label, category);
}

void CSingleUserLog::SendCoreFuncStep(const char* coreFunc, std::atomic<bool>& started,
                                      std::atomic<int32_t>& step, const std::string& label, bool wait,
                                      bool kitOverride) {
  if (!started.exchange(true))
    AddUserLog_funnel(kCoreFuncEvent, coreFunc, 0, "Download", "CoreFuncStart", "null", wait, kitOverride);
  AddUserLog_funnel(kCoreFuncEvent, coreFunc, step++, "Download", label, "null", wait, kitOverride);
}

int CSingleUserLog::AddUserLog(int, const std::string& action, bool wait, int, const std::string&,
                               const std::string& label, const std::string& category) {
  if (LocalSettings::IsAutoRun()) return kAnalyticsOff;
  if (action == "FlowErrorIsChToolKitErrorCode") {
    SendCoreFuncStep("FlowIsChToolKitError", toolKitStarted_, toolKitStep_, label, wait, true);
  } else if (action == "FlowError") {
    SendCoreFuncStep("FlowError", flowErrorStarted_, flowErrorStep_, label, wait, false);
  } else if (category == "CrashRate" && action == "Close") {
    if (flowErrorStarted_)
      AddUserLog_funnel(kCoreFuncEvent, "FlowError", 0, "Download", "CoreFuncEnd", "null", wait, false);
    if (toolKitStarted_)
      AddUserLog_funnel(kCoreFuncEvent, "FlowIsChToolKitError", 0, "Download", "CoreFuncEnd", "null", wait, false);
  }
  if (!report_) return kNoReportObject;
  const int result = SendGa4Event(category, action, label, wait);
  LogUndelivered("ga4", result, category, action);
  return result;
}

// A -2 is no failure to try again: the SDK holds the item for its sender
// thread, and another call would queue a second copy. Nothing else an SDK
// call answers changes when asked again (a repeat, an invalid record).
void CSingleUserLog::LogUndelivered(const char* kind, int result, const std::string& category,
                                    const std::string& action) {
  if (result == kQueuedForLater)
    LOG(INFO) << " " << kind << " event queued for later delivery: " << category << "###" << action;
  else if (result != 0)
    LOG(INFO) << "send " << kind << " fail, retcode = " << result << ", " << category << "###" << action;
}

int CSingleUserLog::SendGa4Event(const std::string& category, const std::string& action,
                                 const std::string& label, bool wait) {
  if (LocalSettings::IsAutoRun()) return kAnalyticsOff;
  if (!report_) return kNoReportObject;
  return report_->AddGa4Event(Ga4Parameters(category, action, label).c_str(), wait ? 1 : 0);
}

// ---- funnel events ----

void CSingleUserLog::SetFunnelSource(FunnelSource* source) {
  std::lock_guard<std::mutex> guard(funnelLock_);
  funnelSource_ = source;
}

std::string CSingleUserLog::FunnelText(const Json::Value& actions, bool kitOverride) {
  if (versionPending_.exchange(false)) UpdateGalogVersion();
  std::string productVersion, toolsLang;
  {
    std::lock_guard<std::mutex> guard(funnelLock_);
    if (funnelSource_) {
      if (funnelProductVersion_.empty()) funnelProductVersion_ = funnelSource_->FunnelProductVersion();
      toolsLang = funnelSource_->FunnelToolsLang();
    }
    productVersion = funnelProductVersion_;
  }
  Json::Value text(Json::objectValue);
  text["is_new"] = isNew_ ? 1 : 0;
  text["brand"] = "PC";
  text["model"] = "PC";
  text["product"] = productName_;
  text["product_version"] = productVersion;
  text["email"] = "";
  text["phone"] = "";
  text["cross_end_id"] = fileNameId_;
  text["rnclid"] = fileNameId_;
  text["source_type"] = "downloader";
  text["tools_version"] = installerVersion_;
  text["tools_lang"] = toolsLang;
  text["kit_type"] = kitOverride ? 2 : kitFlag_ ? 1 : 0;
  text["actions"] = actions;
  text["pid"] = mainPid_;
  return text.toStyledString();
}

int CSingleUserLog::SendFunnel(const Json::Value& actions, const std::string& category,
                               const std::string& action, bool wait, bool kitOverride) {
  const std::string text = FunnelText(actions, kitOverride);
  if (!report_) return kNoReportObject;
  const int result = report_->AddEvent(text.c_str(), wait ? 1 : 0);
  LogUndelivered("funnel", result, category, action);
  return result;
}

int CSingleUserLog::AddUserLog_funnel(const std::string& eventType, const std::string& coreFuncName, int step,
                                      const std::string& category, const std::string& action,
                                      const std::string& label, bool wait, bool kitOverride) {
  if (LocalSettings::IsAutoRun()) return kAnalyticsOff;
  Json::Value actions(Json::objectValue);
  actions["event_category"] = category;
  actions["event_action"] = action;
  actions["event_label"] = label;
  if (!coreFuncName.empty()) {
    actions["core_func_name"] = coreFuncName;
    actions["func_step"] = step;
  }
  actions["event_type"] = eventType.empty() ? "event" : eventType;
  return SendFunnel(actions, category, action, wait, kitOverride);
}

int CSingleUserLog::AddUserLog_funnelEx(const std::string& category, const std::string& action,
                                        const std::map<std::string, std::string>& members, bool wait,
                                        bool kitOverride) {
  if (LocalSettings::IsAutoRun()) return kAnalyticsOff;
  Json::Value actions(Json::objectValue);
  actions["event_type"] = "event";
  actions["event_category"] = category;
  actions["event_action"] = action;
  std::string logged;
  for (const auto& member : members) {
    if (member.first.empty()) continue;
    actions[member.first] = member.second;
    logged += ", " + member.first + "=" + member.second;
  }
  LOG(INFO) << " [funnelEx] " << category << ", " << action << logged;
  return SendFunnel(actions, category, action, wait, kitOverride);
}

int CSingleUserLog::AddUserLog_funnelPair(const std::string& category, const std::string& action,
                                          const std::string& key, const std::string& value, bool wait,
                                          bool kitOverride) {
  return AddUserLog_funnelEx(category, action, {{key, value}}, wait, kitOverride);
}

void CSingleUserLog::UpdateExtraCommon(const std::string& languageCode, const std::string& productVersion) {
  if (!report_) return;
  Json::Value common(Json::objectValue);
  common["tools_lang"] = languageCode;
  common["product_version"] = productVersion;
  report_->SetExtraCommon(common.toStyledString().c_str());
}

bool CSingleUserLog::WaitThreadForExit() {
  LOG(INFO) << "CSingleUserLog WaitThreadForExit";
  return true;
}
