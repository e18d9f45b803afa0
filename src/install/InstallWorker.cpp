// The first half of the install worker: the download configuration, the
// package address, the local files and the download attempts.
#include "install/InstallWorker.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "download/CDownloader.h"
#include "download/CLibcurlTool.h"
#include "download/DownLoadImpl.h"
#include "net/WebUrl.h"
#include "install/AlertReport.h"
#include "install/CdnFailureCounter.h"
#include "install/InstallMessages.h"
#include "platform/Platform.h"
#include "config/IConfigEntryReader.h"
#include "settings/LocalSettings.h"
#include "system/FuntionImpl.h"
#include "toolkit/SteadyClock.h"

// After the engine's headers: on Windows it brings windows.h, which must
// follow libcurl's winsock2.h.
#include <easylogging++.h>

namespace {

constexpr int kNoAddress = 14;  // MSG_DOWNLOAD_FAILED's code when no address was usable
constexpr uint64_t kClosingPollMs = 100;  // how often a wait without an event looks at the closing flag

// The embedded configuration as the configuration record reads it.
class HostEntries : public IConfigEntryReader {
 public:
  explicit HostEntries(InstallHost& host) : host_(host) {}
  std::wstring ReadEntry(const std::wstring& name) override { return host_.Entry(name); }

 private:
  InstallHost& host_;
};

// "Extra_download_url" for the addresses of the alternative host class,
// "Download_url" for every other.
std::string AddressLabel(const std::wstring& url) {
  const std::wstring host = FuntionImpl::GetHostOfUrl(url);
  const bool mainClass = host.size() < 2 || host.rfind(L"dl.", 0) == 0 || host.rfind(L"cdn.", 0) == 0;
  return !mainClass && host.find(L"ali") != std::wstring::npos ? "Extra_download_url" : "Download_url";
}

const char* FailureLabel(int result) {
  switch (result) {
    case NetworkDown: return "DL010";
    case NoSpeedTimeout: return "DL011";
    case GetLengthFailed: return "DL012";
    case TooManyRedirects: return "DL022";
    case OpenFileFailed: return "DL027";
    case NoThreads: return "DL028";
    case CdnRequestFailed: return "DL029";
    case LengthShort: return "DL030";
    case FileTooSmall: return "DL031";
    case WriteFailed: return "DL033";
    default: return "DL017";
  }
}

// A package comes over HTTPS, which keeps its address and its bytes from
// anyone on the way; over plain HTTP only in the test environment (a switch
// that only builds made for tests have).
bool PackageAddressAllowed(const std::wstring& url) {
  if (WebUrl::IsHttps(platform::WideToUtf8(url)) || LocalSettings::IsTestEnv()) return true;
  LOG(INFO) << " [Error]: not an HTTPS address, not used: " << platform::WideToAnsi(url);
  return false;
}

// The first address of the list that is no CDN address and may carry the
// package.
std::wstring checkRemotePath(const std::vector<std::wstring>& urls, const std::wstring& productName) {
  LOG(INFO) << " isForbidCDN: " << (CdnFailureCounter::IsForbidCDN(productName) ? 1 : 0);
  for (const std::wstring& url : urls) {
    if (isCdnUrl(url) || !PackageAddressAllowed(url)) continue;
    LOG(INFO) << " UrlUsed: " << platform::WideToAnsi(url);
    return url;
  }
  LOG(INFO) << " checkRemotePath fail: " << -1;
  return std::wstring();
}

const toolkit::Clock& SteadyClock() {
  static const toolkit::SteadyClock clock;
  return clock;
}

}  // namespace

InstallWorker::InstallWorker(InstallHost& host, InstallWorkerDeps deps)
    : host_(host),
      deps_(std::move(deps)),
      clock_(deps_.clock ? deps_.clock : &SteadyClock()),
      record_(host.Configure()),
      analytics_(host.Analytics()) {
  if (!deps_.download)
    deps_.download = [this](const std::wstring& url, const std::wstring& path, std::string& cdnInfo) {
      return CDownLoadImpl::SuperDownloadFile(url.c_str(), path.c_str(), cdnInfo, true, &host_.State().closing);
    };
  if (!deps_.post)
    deps_.post = [](const std::string& url, const std::string& body, std::string& response) {
      return CLibcurlTool(curl_easy_init()).HttpPost(url, body, response, nullptr);
    };
  if (!deps_.startProcess) deps_.startProcess = &platform::StartChildProcess;
  if (!deps_.installerRunning)
    deps_.installerRunning = [](const std::wstring& package) {
      return FuntionImpl::FindProcessByFullPath(package, false, true) >= 0;
    };
  if (deps_.alertUrl.empty()) deps_.alertUrl = AlertServiceUrl();
}

int InstallWorker::Run() {
  workerStart_ = Now();
  CompleteConfiguration();
  if (Closing() || !ChooseSource()) return -1;
  files_ = PackageFilesOf(host_);
  if (!WaitForRunningInstaller()) return -1;
  PrepareFiles();
  const int result = EndDownload(Download());
  if (result != DownloadOk) return -1;
  if (!FuntionImpl::isExePath(record_.extraDownloadUrl)) {
    host_.Post(MSG_PACKAGE_READY, 0);
    LOG(INFO) << "APP DownloaderSucceed";
    return 1;
  }
  return InstallPackage();
}

void InstallWorker::CompleteConfiguration() {
  HostEntries entries(host_);
  record_.completeForInstall(entries, [this] { host_.HandOverToAnalytics(); });
  FunnelPair("Download", "DownloadConfigReady", "default_config",
             record_.source == CConfigure::kFromFile ? "1" : "0");
}

// False, with the failure posted, when no address can be used.
bool InstallWorker::ChooseSource() {
  packageUrl_ = checkRemotePath(record_.downloadUrlList, record_.productName);
  float windowsNumber = 0;
  FuntionImpl::GetOSVersionName(&windowsNumber);
  if (windowsNumber < 10 && packageUrl_.find(L"_hpwin.exe") != std::wstring::npos)
    packageUrl_ = CheckWin78Link(packageUrl_);
  host_.SetPackageUrl(packageUrl_);
  if (packageUrl_.size() < 5) {
    LOG(INFO) << "url is empty";
    record_.refuseAnswer();  // a retry falls back to the embedded configuration
    Event("Other", "FlowError", "DL023");
    host_.Post(MSG_DOWNLOAD_FAILED, kNoAddress);
    return false;
  }
  LOG(INFO) << " Speed-Test Totally Take " << Now() - workerStart_ << " ms";
  downloadStart_ = Now();
  return true;
}

// A link for Windows 7 and 8 that the server does not have gives way to the
// embedded addresses, the first that is no CDN address.
std::wstring InstallWorker::CheckWin78Link(const std::wstring& url) {
  char headers[CLibcurlTool::kMaxHeaderText + 1] = {};
  long responseCode = 0;
  const CURLcode result = CLibcurlTool(curl_easy_init()).httpGet(platform::WideToAnsi(url).c_str(), headers, responseCode);
  LOG(INFO) << " Curl check win78 link, http code is " << responseCode << ", curl code is " << result;
  if (responseCode != 404) return url;
  for (const wchar_t* entry : {L"Download_url", L"Extra_download_url"}) {
    const std::wstring replacement = host_.Entry(entry);
    if (isCdnUrl(replacement) || !PackageAddressAllowed(replacement)) continue;
    LOG(INFO) << " UrlUsed change to: " << platform::WideToAnsi(replacement);
    return replacement;
  }
  return url;
}

// Our installer may still run from the package: a previous run's, whose
// window closed while it ran. It is waited for, never killed: the download
// and the cleaning would otherwise meet the file in use. False when the
// window closes meanwhile.
bool InstallWorker::WaitForRunningInstaller() {
  for (bool logged = false; deps_.installerRunning(files_.package); logged = true) {
    if (!logged)
      LOG(INFO) << " The installer still runs from " << platform::WideToAnsi(files_.package)
                << ": waiting for it to end";
    for (uint64_t waited = 0; waited < kInstallerWaitMs; waited += kClosingPollMs) {
      if (Closing()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(kClosingPollMs));
    }
  }
  return !Closing();
}

void InstallWorker::PrepareFiles() {
  DiscardStalePackage(files_, record_.productVersion, record_.md5, record_.md5Extra, record_.sha256);
  host_.StartCarouselTimer();
  if (record_.source == CConfigure::kFromFile) {
    LOG(INFO) << " Configure Load From File, clearAppData Before Download! ";
    ClearAPPData(files_);
  }
  addressLabel_ = AddressLabel(packageUrl_);
}

// The last attempt's result; each attempt resumes where the previous one
// stopped (same address, same package and task file).
int InstallWorker::Download() {
  Event("Download", "3.Downloading...", FirstOrRetry());
  Funnel("Downloading", 2, "Download", "Downloading");
  CDownLoadImpl::SetProgressCallback(
      [this](int64_t downloaded, int64_t total) { host_.DownloadProgress(downloaded, total); });
  int result = 0;
  for (int attempt = 1; attempt <= kAttempts && !Closing(); ++attempt) {
    result = DownloadAttempt(attempt);
    if (result == DownloadOk) {
      if (attempt > 1) LOG(INFO) << "Success\xA3\xACThe Retry Frequency is: " << attempt - 1;
      break;
    }
    if (result == Cancelled) break;  // the window closed: no failure to report
    Event("Other", "FlowError", FailureLabel(result));
    if (result == TooManyRedirects)
      SendErrorReport(1, record_.downloaderId, "Url_Too_Many_Redirects");
    LOG(INFO) << " The Retry Frequency is: " << (attempt == kAttempts ? kAttempts - 1 : attempt - 1);
    // Another attempt cannot write where this one could not: the user must
    // make room first.
    if (result == WriteFailed) break;
  }
  CDownLoadImpl::SetProgressCallback(nullptr);
  return result;
}

int InstallWorker::DownloadAttempt(int attempt) {
  char value[64];
  std::snprintf(value, sizeof value, "%s-%d", addressLabel_.c_str(), attempt);
  FunnelPair("Download", "Use download address", "Use download address Type", value);
  FunnelPair("Download", "SliceDownloadStart", "", "");
  LOG(INFO) << " Tasks info, round begin, current = " << attempt << ", total = " << kAttempts;
  std::string cdnInfo;
  const int result = deps_.download(packageUrl_, files_.package, cdnInfo);
  LOG(INFO) << " Tasks info, round end, current = " << attempt << ", total = " << kAttempts
            << ", result = " << result;
  if (!cdnInfo.empty()) Event("Other", "CDNInfor", cdnInfo);
  return result;
}

// Reports the download's end; a failure is posted. Returns the result, or
// 0 when the window closed meanwhile.
int InstallWorker::EndDownload(int result) {
  if (Closing()) return 0;
  ReportDownloadTimes();
  if (result != DownloadOk) {
    Event("Other", "DownErrorCode", "error_" + std::to_string(result));
    host_.Post(MSG_DOWNLOAD_FAILED, result);
    return result;
  }
  FunnelPair("Download", "DownloadSuccess", "", "");
  analytics_.AddUserLog_funnelEx("Download", "MDownSuccess",
                                 {{"Download address", addressLabel_}, {"AddressType", "NO"}});
  return result;
}

void InstallWorker::ReportDownloadTimes() {
  Funnel("Downloading", 3, "Download", "DownFinsh");
  const int seconds = SecondsSince(downloadStart_);
  Event("Other", "MDownloadTime", std::to_string(seconds));
  Funnel("Downloading", 0, "Download", "CoreFuncEnd");
  // Under one second the speed counts the whole size as one second's.
  const int64_t size = std::max<int64_t>(host_.State().packageSize, 0);
  const float perSecond = static_cast<float>(size) / static_cast<float>(std::max(seconds, 1));
  char speed[64];
  std::snprintf(speed, sizeof speed, "%.2fMB/s", perSecond / 1048576);
  Event("Other", "DownloadSpeed", speed);
  const std::string total = std::to_string((Now() - downloadStart_) / 1000);
  Event("Other", "DownloadTime", total);
  LOG(INFO) << " DownloadTime total use " << total;
  FunnelPair("RunningTime", "DownloadDuration", "DownloadCompleted",
             std::to_string(SecondsSince(host_.State().installClickTick)));
}

// Fire and forget: the outcome is only logged.
void InstallWorker::SendErrorReport(int reportNumber, int32_t pid, const std::string& exceptionCode) {
  const std::string body = AlertReportBody(pid, exceptionCode, record_.getQueryUrl(), platform::WideToAnsi(packageUrl_));
  std::string response;
  const int result = deps_.post(deps_.alertUrl, body, response);
  LOG(INFO) << " Send error report" << reportNumber << ", response is " << response << ", return " << result;
}

int32_t InstallWorker::EmbeddedDownloaderId() {
  return std::atoi(platform::WideToAnsi(host_.Entry(L"Downloader_id")).c_str());
}

void InstallWorker::Event(const std::string& category, const std::string& action, const std::string& label,
                          bool wait) {
  analytics_.AddUserLogEvent(category, action, label, wait);
}

void InstallWorker::Funnel(const char* coreFunc, int step, const char* category, const char* action) {
  analytics_.AddUserLog_funnel("CoreFuncEvent", coreFunc, step, category, action, "null");
}

void InstallWorker::FunnelPair(const std::string& category, const std::string& action, const std::string& key,
                               const std::string& value) {
  analytics_.AddUserLog_funnelPair(category, action, key, value);
}
