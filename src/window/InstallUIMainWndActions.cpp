// What the user does in the main window: the buttons, the links in its
// texts and the language choice. Each action reports its analytics.
#include <easylogging++.h>

#include <string>

#include "install/InstallFiles.h"
#include "platform/Platform.h"
#include "settings/LocalSettings.h"
#include "system/FuntionImpl.h"
#include "toolkit/TextOverflow.h"
#include "window/CAlientWnd.h"
#include "window/InstallUIMainWnd.h"
#include "window/Language.h"

namespace {

// The package addresses of a downloader type: types 1 and 3 download from
// the origin servers, type 2 from the CDN.
bool FitsDownloaderType(const std::wstring& url, int32_t downloaderType) {
  const bool cdn = url.find(L"//cdn.") != std::wstring::npos || url.find(L"//dl.") != std::wstring::npos;
  if (downloaderType == 1 || downloaderType == 3) return !cdn;
  return downloaderType == 2 && cdn;
}

// "?rnclid=<id>&package=<file>" for an installer file named like
// "Setup_<id>.exe"; empty without "_" in the name.
std::wstring TrackingQuery(const std::wstring& modulePath) {
  const size_t slash = modulePath.find_last_of(L"\\/");
  const std::wstring file = slash == std::wstring::npos ? modulePath : modulePath.substr(slash + 1);
  const size_t underscore = file.rfind(L'_');
  if (underscore == std::wstring::npos) return std::wstring();
  size_t dot = file.rfind(L'.');
  if (dot == std::wstring::npos || dot < underscore) dot = file.size();
  return L"?rnclid=" + file.substr(underscore + 1, dot - underscore - 1) + L"&package=" + file;
}


}  // namespace

// The click reaches here from the user, the scripted user and the AutoRun timers alike.
void InstallUIMainWnd::OnClick(const toolkit::Notification& notification) {
  const toolkit::Control* sender = notification.sender;
  if (!sender) return;
  if (sender == closeBtn_) CloseWithConfirm();
  else if (sender == minBtn_ || sender->name() == "install_minbtn") Minimize();
  else if (sender == installBtn_) InstallAction();
  else if (sender->name() == "browser_btn") OnBrowseFolder();
  else if (sender == startApp_) OnFailurePage() ? RetryAction() : StartAction();
  else if (sender->name() == "install_setting") TogglePanel(kSettingsTab, settingsPanelOpen_);
}

void InstallUIMainWnd::OnLink(const toolkit::Notification& notification) {
  if (!notification.sender) return;
  const std::string& name = notification.sender->name();
  if (name == "license_link") TogglePanel(kLicenseTab, licensePanelOpen_);
  else if (name == "license_link_new") OpenPolicyLink(notification.index);
  else if (name == "text_fail_advice") OpenPackageLink();
}

void InstallUIMainWnd::OnItemSelect(const toolkit::Notification& notification) {
  if (!languageCombo_ || notification.sender != languageCombo_) return;
  currentLanguage_ = static_cast<EnumLanguage>(notification.index);
  HandOverToAnalytics(ProductVersion());
  LOG(INFO) << " ChangeLanguageTo: " << platform::WideToUtf8(GetLanguageFileName(currentLanguage_));
  ApplyLanguage();
  toolkit::LogTextOverflows(layout(), loop().backend());
}

// A click opens the lower panel on the control's tab, unless the panel
// already shows that tab open: then it closes.
void InstallUIMainWnd::TogglePanel(int tab, bool& open) {
  if (!setLayout_) return;
  if (open && setLayout_->state.selectedIndex == tab) {
    SetWindowCollapsed(true);
    open = false;
  } else {
    setLayout_->SelectIndex(tab);
    SetWindowCollapsed(false);
    open = true;
  }
  Arrange();
}

// Link 0 of the two-link text is the privacy policy, any other the licence.
void InstallUIMainWnd::OpenPolicyLink(int link) {
  const std::string code = GetLanguageCode(currentLanguage_);
  const bool privacy = link == 0;
  const std::wstring url = privacy ? configure_->getPrivacyUrl(code) : configure_->getLicenseUrl(code);
  LOG(INFO) << (privacy ? " Open Privacy Url: " : " Open License Url: ") << platform::WideToUtf8(url);
  if (!url.empty()) FuntionImpl::OpenWebLink(url);
}

void InstallUIMainWnd::OpenPackageLink() {
  analytics_.AddUserLogEvent("Download", "8-2.ClickInstallLink", AttemptLabel());
  std::wstring url = PackageLinkAddress();
  if (url.empty()) return;
  if (addTrackingQuery_) url += TrackingQuery(platform::System().ModulePath());
  LOG(INFO) << " Open Advice Url: " << platform::WideToUtf8(url);
  FuntionImpl::OpenWebLink(url);
}

// The address the worker used, else the first of the configuration's list
// that fits its downloader type.
std::wstring InstallUIMainWnd::PackageLinkAddress() {
  const std::wstring used = GetPackageUrl();
  if (!used.empty()) return used;
  for (const std::wstring& url : configure_->downloadUrlList)
    if (FitsDownloaderType(url, configure_->downloaderType)) return url;
  return std::wstring();
}

void InstallUIMainWnd::InstallAction() {
  state_.installClickTick = NowMs();
  analytics_.AddUserLog_funnelPair("RunningTime", "DurationFordownLoading", "LoadingStart",
                                   std::to_string((state_.installClickTick - windowStartTick_) / 1000));
  if (LocalSettings::IsCrashTest()) {
    // The crash test of the crash-dump handling: an access violation on purpose.
    volatile int* nowhere = nullptr;
    *nowhere = 1;
  }
  analytics_.AddUserLogEvent("Download", "2.DownStart", "");
  analytics_.AddUserLog_funnel("CoreFuncEvent", "Downloading", 0, "Download", "CoreFuncStart", "null");
  analytics_.AddUserLog_funnel("CoreFuncEvent", "Downloading", 1, "Download", "DownStart", "null");
  if (!AskLicenseConsent()) return;
  ReportStartTimeOnce();
  analytics_.AddUserLogEvent("Other", "SetLanguage", GetLanguageEnglishName(currentLanguage_));
  if (installPathEdit_ && installPathEdit_->look.text != defaultInstallPath_)
    analytics_.AddUserLogEvent("Other", "SetPath", "");
  BeginInstallTask();
}

// An unticked licence box asks; agreeing ticks it.
bool InstallUIMainWnd::AskLicenseConsent() {
  if (!licenseCheckbox_ || licenseCheckbox_->state.selected) return true;
  const bool agreed = ShowMessageBox(kMsgAgree, L"") == kMsgResultYes;
  analytics_.AddUserLog_funnelPair("StartDownloader", "PrivacyAgreementPopup", "PrivacyAgreementPopupType",
                                   agreed ? "Agree and install" : "Disagree");
  if (agreed) licenseCheckbox_->state.selected = true;
  return agreed;
}

// The date and hour of China Standard Time, on the first Install press only.
void InstallUIMainWnd::ReportStartTimeOnce() {
  if (startTimeReported_) return;
  startTimeReported_ = true;
  const std::string now = FuntionImpl::GetChinaStandardTime();
  analytics_.AddUserLogEvent("Download", "StartTimeDate", now.substr(0, 10));
  analytics_.AddUserLogEvent("Download", "StartTimeHour", now.size() > 11 ? now.substr(11, 2) : std::string());
}

bool InstallUIMainWnd::OnFailurePage() const {
  return failRetry_ && failAdvice_ && warningImage_ && failRetry_->state.visible && failAdvice_->state.visible &&
         warningImage_->state.visible;
}

// The bar goes back to 0 directly: SetProgress never lowers it.
void InstallUIMainWnd::RetryAction() {
  analytics_.AddUserLogEvent("Download", "8-1.ClickTryAgain", AttemptLabel());
  analytics_.AddUserLog_funnel("CoreFuncEvent", "Downloading", 0, "Download", "CoreFuncStart", "null");
  state_.retry = true;
  progressValue_ = 0;
  if (progress_) progress_->state.value = 0;
  BeginInstallTask();
}

// A program installer starts the product; any other package (an ".apk") is shown in Explorer.
void InstallUIMainWnd::StartAction() {
  LOG(INFO) << " Start product";
  const std::wstring installPath = GetInstallPath();
  if (!FuntionImpl::isExePath(configure_->extraDownloadUrl)) {
    const std::wstring package = downloadFolder_ + platform::kPathSep +
                                 PackageFileName(ReadEntry(L"Extra_download_url"), configure_->productVersion);
    platform::System().ShellOpen(L"explorer.exe", L"/select, " + package, true);
    return;
  }
  if (FuntionImpl::WillShowNetFrameCheck(installPath)) frameDuration_ = 0;
  // Queued, not waited for: the product must not wait on the network. The
  // waiting events after its start leave the SDK time to deliver it.
  analytics_.AddUserLogEvent("Download", "7.ProgramLaunch", "");
  analytics_.AddUserLog_funnel("CoreFuncEvent", "Starting", 0, "Download", "CoreFuncStart", "null");
  analytics_.AddUserLog_funnel("CoreFuncEvent", "Starting", 1, "Download", "ProgramLaunch", "null");
  LaunchProduct();
}

// The product starts first; the events that wait for their delivery (each
// for a short, bounded time) follow while the window is already hidden.
void InstallUIMainWnd::LaunchProduct() {
  started_ = true;
  const std::wstring command = L"\"" + ::ProductMainExePath(*configure_, GetInstallPath()) + L"\"";
  Show(false);
  if (frameDuration_ == 0 || !ShowLaunchSplash(command)) StartProductDirectly(command);
  analytics_.AddUserLogEvent("Download", "9.StartWindow", std::to_string(frameDuration_), true);
  analytics_.AddUserLog_funnel("CoreFuncEvent", "Starting", 2, "Download", "StartWindow", "null", true);
  analytics_.AddUserLog_funnel("CoreFuncEvent", "Starting", 0, "Download", "CoreFuncEnd", "null");
  PostClose();
}

// The splash starts the product itself and stays for the frame duration.
bool InstallUIMainWnd::ShowLaunchSplash(const std::wstring& command) {
  CAlientWnd splash(loop(), adminFlag_, configure_->productName, command, frameDuration_, currentLanguage_,
                    EventReporter(), archive_);
  return splash.DoModal();
}

void InstallUIMainWnd::StartProductDirectly(const std::wstring& command) {
  if (FuntionImpl::StartTargetMainExe(command, adminFlag_, EventReporter()) == -1) {
    analytics_.AddUserLogEvent("Other", "FlowError", "DL019");
    ShowMessageBox(kMsgClickShortcut, L"");
  }
}

FuntionImpl::EventReport InstallUIMainWnd::EventReporter() {
  return [this](const std::string& category, const std::string& action, const std::string& label) {
    analytics_.AddUserLogEvent(category, action, label);
  };
}
