// The main window's initialisation, in its fixed order, with the launch
// analytics and the start-up facts it logs.
#include <easylogging++.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>

#include "base/ScrambledText.h"
#include "platform/Platform.h"
#include "platform/Process.h"
#include "settings/LocalSettings.h"
#include "system/FuntionImpl.h"
#include "window/InstallUIMainWnd.h"

namespace {

// The two control names the program keeps scrambled.
std::string InstallPathEditName() { return SCRAMBLED_TEXT("install_path_edit"); }
std::string CarouselAreaName() { return SCRAMBLED_TEXT("anima_layout"); }

// Where the machine's once-only "PC" events are marked as sent.
std::wstring MachineMarkerKey() { return L"SOFTWARE\\" + SCRAMBLED_WTEXT("Vantrel") + L"\\Downloader2.5.0"; }

// The container of the embedded configuration's labels ("configure/configure.xml").
const char kEmbeddedConfigName[] = "Product_config";

}  // namespace

void InstallUIMainWnd::InitWindow() {
  PublishProcessWindow();                                                  // 1
  windowStartTick_ = NowMs();
  analytics_.SetFunnelSource(this);
  state_.retry = false;
  addTrackingQuery_ = true;
  carouselFrameCount_ = CountCarouselFrames();                             // 2
  autoAnsweredKind_ = -1;
  state_.packageSize = 0;
  LookUpControls();                                                        // 3, 5
  SetPackageUrl(std::wstring());                                           // 4
  ReadEntries();                                                           // 7
  ReadProductValues();
  ApplyLicenseChoice();                                                    // 8, 9
  CreateConfigure();                                                       // 10
  downloadFolder_ = analytics_.State().GetDownloadFolder();                        // 11
  defaultInstallPath_ = platform::ProgramFilesFolder() + platform::kPathSep + L"Vantrel";  // 12
  if (installPathEdit_) installPathEdit_->look.text = defaultInstallPath_;
  StartWorkerThreads();                                                    // 13
  state_.progressFinished.Reset();                                             // 14
  LOG(INFO) << " CreateEvent successfully ";
  carouselIntervalMs_ = 7000;                                              // 15
  LogStartupFacts();                                                       // 16
  SendLaunchAnalytics();                                                   // 17
  SetIcon(kIconResource);                                                  // 18
  InitLanguage();                                                          // 19
  analytics_.AddUserLogEvent("Other", "ClickToShowTime", std::to_string(NowMs() - windowStartTick_));  // 20
  // 21: the backend keeps the taskbar button's progress (SetTaskbarProgress).
  if (LocalSettings::IsAutoRun()) SetTimer(TIMER_AUTOINSTALL_ID, 2000);   // 22
}

const std::vector<std::pair<InstallUIMainWnd::ControlMember, std::string>>& InstallUIMainWnd::Controls() {
  static const std::vector<std::pair<ControlMember, std::string>> controls = {
      {&InstallUIMainWnd::closeBtn_, "closebtn"},
      {&InstallUIMainWnd::minBtn_, "minbtn"},
      {&InstallUIMainWnd::mainTab_, "main_tablayout"},
      {&InstallUIMainWnd::installPathEdit_, InstallPathEditName()},
      {&InstallUIMainWnd::progress_, "install_progress"},
      {&InstallUIMainWnd::progressLabel_, "install_label"},
      {&InstallUIMainWnd::spaceFree_, "space_free"},
      {&InstallUIMainWnd::spaceNeed_, "space_need"},
      {&InstallUIMainWnd::licenseLink_, "license_link"},
      {&InstallUIMainWnd::licenseLinkNew_, "license_link_new"},
      {&InstallUIMainWnd::licenseCheckbox_, "license_checkbox"},
      {&InstallUIMainWnd::setLayout_, "set_layout"},
      {&InstallUIMainWnd::pageLayout_, "page_layout"},
      {&InstallUIMainWnd::installBtn_, "install_btn"},
      {&InstallUIMainWnd::licenseArea_, "license_area"},
      {&InstallUIMainWnd::languageCombo_, "language_combox"},
      {&InstallUIMainWnd::carouselArea_, CarouselAreaName()},
      {&InstallUIMainWnd::backgroundLayout_, "backgroudlayout"},
      {&InstallUIMainWnd::failRetry_, "text_fail_retry"},
      {&InstallUIMainWnd::failAdvice_, "text_fail_advice"},
      {&InstallUIMainWnd::warningImage_, "img_warning"},
      {&InstallUIMainWnd::startApp_, "start_app"},
      {&InstallUIMainWnd::startShortcut_, "text_startshortcut"},
      {&InstallUIMainWnd::finishLabel_, "finish_label"},
  };
  return controls;
}

std::vector<std::string> InstallUIMainWnd::ControlNames() {
  std::vector<std::string> names;
  for (const auto& control : Controls()) names.push_back(control.second);
  return names;
}

void InstallUIMainWnd::LookUpControls() {
  for (const auto& [member, name] : Controls()) this->*member = Find(name);
  for (toolkit::Control* failure : {failRetry_, failAdvice_, warningImage_, finishLabel_})
    if (failure) failure->state.visible = false;
  carouselOptions_.clear();
  for (int n = 1;; ++n) {
    toolkit::Control* option = Find("image_play_option" + std::to_string(n));
    if (!option) break;
    carouselOptions_.push_back(option);
  }
  // The keyboard starts on each page's main button: Install, Start (or
  // retry) and, while the install runs, Hide.
  SetPrimaryButtons({installBtn_, startApp_, Find("install_minbtn")});
}

// The labels of the embedded configuration, at any depth of its container,
// as they are now: workers read them later from any thread.
void InstallUIMainWnd::ReadEntries() {
  entries_.clear();
  std::function<void(const toolkit::Control&)> collect = [&](const toolkit::Control& control) {
    for (const auto& child : control.children()) {
      if (!child->name().empty()) entries_.emplace(platform::Utf8ToWide(child->name()), child->look.text);
      collect(*child);
    }
  };
  if (const toolkit::Control* config = Find(kEmbeddedConfigName)) collect(*config);
}

int InstallUIMainWnd::EntryInt(const wchar_t* name) {
  return std::atoi(platform::WideToAnsi(ReadEntry(name)).c_str());
}

bool InstallUIMainWnd::HasEntry(const wchar_t* name) { return entries_.count(name) != 0; }

void InstallUIMainWnd::ReadProductValues() {
  downloaderId_ = EntryInt(L"Downloader_id");
  siteId_ = EntryInt(L"Site_id");
  languageId_ = EntryInt(L"Language_id");
  frameDuration_ = EntryInt(L"Gif_duration");
  startFlag_ = EntryInt(L"NeedStart_flag");
  chooseLicense_ = EntryInt(L"ChooseLicense");
  suggestSsd_ = EntryInt(L"SuggestSSD");
  adminFlag_ = EntryInt(L"admin_flag");
  if (HasEntry(L"MainPid")) mainPid_ = EntryInt(L"MainPid");
  productName_ = ReadEntry(L"Software_name");
  newLicenseText_ = ReadEntry(L"NewLicenseFlag");
  licenseUrl_ = ReadEntry(L"LicenseUrl");
  privacyUrl_ = ReadEntry(L"PrivacyUrl");
}

// The consent box starts ticked for unattended runs or when the product
// asks; the licence row keeps the link text of the licence layout in use.
void InstallUIMainWnd::ApplyLicenseChoice() {
  if (licenseCheckbox_) licenseCheckbox_->state.selected = LocalSettings::IsAutoRun() || chooseLicense_ == 1;
  newLicenseFlag_ = newLicenseText_ == L"1";
  if (!licenseArea_) return;
  toolkit::Control*& unused = newLicenseFlag_ ? licenseLink_ : licenseLinkNew_;
  if (unused && licenseArea_->Remove(unused)) unused = nullptr;
  Arrange();
}

void InstallUIMainWnd::CreateConfigure() {
  configure_ = std::make_unique<CConfigure>(downloaderId_, languageId_, siteId_);
  if (context_.configHosts) configure_->setHosts(*context_.configHosts);
  configure_->loadFromEmbedded(*this, false);
  if (newLicenseFlag_) configure_->setFallbackLinks(licenseUrl_, privacyUrl_);
  std::lock_guard<std::mutex> guard(stateLock_);
  productVersion_ = configure_->productVersion;
}

// Only the newer licence layout shows the data service's privacy links;
// otherwise that handle stays empty and the shutdown skips it.
void InstallUIMainWnd::StartWorkerThreads() {
  configThread_.Start([this] { AsyncGetCbsInfoThreadFunc(); });
  if (!newLicenseFlag_) return;
  privacyThread_.Start([this] { context_.fetchPrivacy ? context_.fetchPrivacy(*this) : GetCbsPrivacy(); });
}

// The carousel pictures present in the archive: "skin/anima/1.png", 2, ... up to the first gap.
int InstallUIMainWnd::CountCarouselFrames() const { return CAnima::CountPictures(archive_); }

void InstallUIMainWnd::LogStartupFacts() {
  std::wstring productName, productVersion;
  FuntionImpl::GetFileVersionStrings(platform::System().ModulePath(), &productName, &productVersion, nullptr,
                                     nullptr);
  LOG(INFO) << " Downloader info: " << platform::WideToUtf8(productVersion) << "("
            << platform::WideToUtf8(productName) << "), 64Bit: " << (FuntionImpl::IsWow64() ? "True" : "False")
            << ", proc_id=" << platform::CurrentProcessId();
  int width = 0, height = 0;
  const double scale = FuntionImpl::GetScreenInfo(&width, &height);
  LOG(INFO) << " Screen: " << width << "*" << height << ", " << scale;
  LOG(INFO) << " CurUid is: " << platform::WideToUtf8(FuntionImpl::GetSystemVolumeGuid());
  LOG(INFO) << " Request For Product Config -- [Downloader Id]: " << downloaderId_ << " [Site Id]: " << siteId_
            << " [Language Id]: " << languageId_;
}

// None of these waits for delivery. The three "PC" events go once per
// machine: the marker is written after they are sent.
void InstallUIMainWnd::SendLaunchAnalytics() {
  analytics_.AddUserLogEvent("CrashRate", "Start", "");
  analytics_.AddUserLog_funnel("Keypoint", "null", 0, "CorePublicModule", "Start", "null");
  const std::wstring markerKey = MachineMarkerKey();
  if (FuntionImpl::ReadRegString(markerKey, L"GA_PC").empty()) {
    analytics_.AddUserLogEvent("PC", "SysOS", analytics_.OsText());
    analytics_.AddUserLogEvent("PC", "SysLanguage", FuntionImpl::GetUILanguageName());
    int width = 0, height = 0;
    FuntionImpl::GetScreenInfo(&width, &height);
    analytics_.AddUserLogEvent("PC", "SysScreenResolution", std::to_string(width) + "*" + std::to_string(height));
    FuntionImpl::WriteRegString(markerKey, L"GA_PC", L"1");
  }
  analytics_.AddUserLogEvent("Download", "1.Launch", "");
  analytics_.AddUserLog_funnel("CoreFuncEvent", "BeforeDownload", 0, "Download", "CoreFuncStart", "null");
  analytics_.AddUserLog_funnel("CoreFuncEvent", "BeforeDownload", 1, "Download", "Launch", "null");
  analytics_.AddUserLog_funnel("CoreFuncEvent", "BeforeDownload", 0, "Download", "CoreFuncEnd", "null");
}
