// The install task on the window's side: its start, the worker's messages,
// the progress timers with the time estimate of the installer run, the
// failure page and the count of CDN failures.
#include <easylogging++.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "install/CdnFailureCounter.h"
#include "install/InstallFiles.h"
#include "install/InstallWorker.h"
#include "install/InstallerLanguage.h"
#include "settings/LocalSettings.h"
#include "toolkit/Markup.h"
#include "window/InstallUIMainWnd.h"
#include "window/Language.h"
#include "window/LanguageTemplate.h"
#include "install/InstallMessages.h"

namespace {

// The download results that choose their own message box.
constexpr intptr_t kNetworkDown = 9;
constexpr intptr_t kNoDataFor60s = 10;
constexpr intptr_t kCdnRequestFailed = 11;
constexpr intptr_t kWriteFailed = 17;

EnumMsgType BoxOfDownloadFailure(intptr_t errorCode) {
  switch (errorCode) {
    case kNetworkDown: return kMsgInternetFail;
    case kNoDataFor60s:
    case kCdnRequestFailed: return kMsgInternetTimeout;
    case kWriteFailed: return kMsgNoEnoughSpace;
    default: return kMsgUrlFail;
  }
}

// About one second per 17.9 MB of package, in whole seconds.
int64_t EstimatedInstallSeconds(int64_t packageSize) {
  const int64_t size = std::clamp<int64_t>(packageSize, 0, INT64_MAX / 4);
  return size * 4 / 716800 * 10 / 1000;
}

}  // namespace

int InstallUIMainWnd::BeginInstallTask() {
  if (state_.closing) return -1;  // a click handled after the window closed for good
  if (installThread_.Running()) {
    LOG(INFO) << " [Error]: the previous install has not ended yet";
    return -1;
  }
  if (!AppIsRunning()) {
    analytics_.AddUserLogEvent("Other", "FlowError", "DL024");
    LOG(INFO) << "app is running";
    return -1;
  }
  if (!IsCorrectInstallPath()) return -1;
  toolkit::Rect rect = WindowRect();
  rect.right = rect.left + 650;
  rect.bottom = rect.top + kCollapsedHeight;
  MoveWindow(rect);
  Center();
  if (progressLabel_) progressLabel_->look.text = FillTemplate(progressFormat_, 0.0);
  for (toolkit::Control* ended : {failRetry_, failAdvice_, warningImage_, finishLabel_})
    if (ended) ended->state.visible = false;
  if (startApp_) startApp_->look.text = GetLanguageText("install_page", "start_app", currentLanguage_, archive_);
  if (backgroundLayout_) {
    backgroundLayout_->look.bkImage = toolkit::Picture();
    backgroundLayout_->look.bkImage.file = "skin/backgroud_complete.png";
  }
  Arrange();
  SetTimer(TIMER_STARTPROGRESS_ID, 1000);
  state_.verificationDone = false;
  state_.installerFinished = false;
  state_.progressFinished.Reset();
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    workerInstallPath_ = GetInstallPath();
  }
  StartCarousel();
  StartBannerFetch();
  installThread_.Start([this] { InstallThreadFunc(); });
  return 0;
}

// Once delivered, the banners stay; a fetch that is still running is not
// started again (its handle must stay for the exit to wait for).
void InstallUIMainWnd::StartBannerFetch() {
  if (bannerDelivered_ || bannerThread_.Running()) return;
  bannerThread_.Start([this] { context_.fetchBanners ? context_.fetchBanners(*this) : GetCbsBanner(); });
}

void InstallUIMainWnd::InstallThreadFunc() {
  // Not inside the log statement, which holds the log's lock.
  const int result = context_.runInstall ? context_.runInstall(*this) : InstallWorker(*this).Run();
  LOG(INFO) << " Install worker ended: " << result;
}

void InstallUIMainWnd::HandleCustomMessage(unsigned message, intptr_t wparam, intptr_t) {
  switch (message) {
    case MSG_CLEAR_CACHE:
      // The "taking longer" box closes while the installer runs from the package.
      if (state_.installerRunning) LOG(INFO) << " Clear cache skipped: the installer still runs";
      else ClearAPPData(PackageFilesOf(*this));
      break;
    case MSG_DOWNLOAD_FAILED:
      OnDownloadFailed(wparam);
      break;
    case MSG_PACKAGE_READY:
      SetProgress(100);
      StoreInstallerLanguage(currentLanguage_, configure_->downloaderId, configure_->productName);
      ShowEndedState();
      break;
    case MSG_VERIFY_STARTED:
      SetProgress(85);
      SetTimer(TIMER_VERIFYPROGRESS_ID, 2000);
      break;
    case MSG_INSTALLER_STARTED:
      KillTimer(TIMER_VERIFYPROGRESS_ID);
      SetProgress(90);
      StartInstallEstimate();
      break;
    case MSG_INSTALL_TIMEOUT:
      // The install goes on: the running page stays and the worker waits on.
      ShowMessageBox(kMsgInstallTimeout, L"");
      break;
    case MSG_INSTALL_FAILED:
      KillTimer(TIMER_WORKERCAROUSEL_ID);
      ShowErrorState();
      ShowEndedState();
      DownLoadFail();
      break;
    case MSG_INSTALL_FINISHED:
      OnInstallFinished();
      break;
    case MSG_SIGNATURE_INVALID:
      ShowInstallFailure(kMsgMd5Fail);
      break;
    case MSG_BANNER_READY:
      OnBannerReady();
      break;
    default:
      break;
  }
}

void InstallUIMainWnd::OnDownloadFailed(intptr_t errorCode) {
  ShowErrorState();
  if (errorCode == kCdnRequestFailed) CdnFailureCounter::Increment(configure_->productName);
  ShowMessageBox(BoxOfDownloadFailure(errorCode), L"");
  analytics_.AddUserLogEvent("Download", "8.DownFail", AttemptLabel());
  ShowEndedState();
  KillTimer(TIMER_WORKERCAROUSEL_ID);
  DownLoadFail();
}

void InstallUIMainWnd::ShowInstallFailure(EnumMsgType box) {
  ShowErrorState();
  ShowMessageBox(box, L"");
  ShowEndedState();
  DownLoadFail();
}

// With the product started at once and no splash, the finished page is
// skipped: the worker's click on "start_app" follows.
void InstallUIMainWnd::OnInstallFinished() {
  LOG(INFO) << " Finished page";
  if (startFlag_ == 1 && frameDuration_ == 0) {
    EnableClosing();
  } else {
    ShowEndedState();
    if (finishLabel_) finishLabel_->state.visible = true;
    if (startApp_) startApp_->state.visible = true;
    if (startShortcut_) startShortcut_->state.visible = false;
    Arrange();
    AnnouncePage(L"finished page", finishLabel_);
  }
  SetTaskbarProgress(0, toolkit::TaskbarState::kNoProgress);
  if (!analytics_.State().IsBackgroundMode()) return;
  LOG(INFO) << " BgMode will auto exit when success";
  SetTimer(TIMER_BACKGROUNDEXIT_ID, 3000);
}

// The worker has set the installer-finished flag: at 99 the bar needs no
// final run, nor does a skin whose bar cannot move; below it the final run
// starts now rather than at the next, possibly distant, step of the estimate.
void InstallUIMainWnd::OnInstallerEnded() {
  const int value = ProgressValue();
  LOG(INFO) << " install Finished, progress: " << value;
  if (value >= 99 || !BarMoves()) return FinishProgress();
  KillTimer(TIMER_INSTALLPROGRESS_ID);
  SetTimer(TIMER_ATLASTPROGRESS_ID, 500);
}

// One percent per interval from 90 to 99; the server's extra time and the
// package size cannot make a timer of zero, negative or days-long steps.
void InstallUIMainWnd::StartInstallEstimate() {
  const int64_t estimate = EstimatedInstallSeconds(state_.packageSize);
  const int64_t additional = configure_->additionalTime;
  const int64_t interval =
      std::clamp<int64_t>((estimate + additional) * 100, kMinEstimateIntervalMs, kMaxEstimateIntervalMs);
  SetTimer(TIMER_INSTALLPROGRESS_ID, static_cast<uint64_t>(interval));
  LOG(INFO) << " Estimate install time is " << estimate << ", extra install time is " << additional
            << ", timer elapse is " << interval;
  analytics_.AddUserLog_funnelPair("RunningTime", "Estimated Duration", "EstimatedDurationPar",
                                   std::to_string(estimate));
}

// The bar shows 100 before the worker is released to report the end.
void InstallUIMainWnd::FinishProgress() {
  KillTimer(TIMER_INSTALLPROGRESS_ID);
  KillTimer(TIMER_ATLASTPROGRESS_ID);
  SetProgress(100);
  state_.progressFinished.Set();
}

// A skin without the bar or its label has no final run to show.
bool InstallUIMainWnd::BarMoves() const { return progress_ && progressLabel_; }

void InstallUIMainWnd::OnTimer(unsigned id) {
  const int next = ProgressValue() + 1;
  switch (id) {
    case TIMER_STARTPROGRESS_ID:
      KillTimer(id);
      SetProgress(1);
      break;
    case TIMER_VERIFYPROGRESS_ID:
      if (state_.verificationDone || next > 90) KillTimer(id);
      else SetProgress(next);
      break;
    case TIMER_INSTALLPROGRESS_ID: {
      const bool finished = state_.installerFinished;
      LOG(INFO) << " TIMER_INSTALLPROGRESS_ID: " << finished << ", " << next;
      if (!finished && next < 100) {
        SetProgress(next);
      } else {
        KillTimer(id);
        if (finished && (next > 98 || !BarMoves())) FinishProgress();
        else if (finished) SetTimer(TIMER_ATLASTPROGRESS_ID, 500);
      }
      break;
    }
    case TIMER_ATLASTPROGRESS_ID:
      LOG(INFO) << " TIMER_ATLASTPROGRESS_ID: " << static_cast<bool>(state_.installerFinished) << ", " << next;
      if (next < 100 && BarMoves()) SetProgress(next);
      else FinishProgress();
      break;
    case TIMER_AUTOINSTALL_ID:
    case TIMER_AUTORETRY_ID:
      KillTimer(id);
      if (!LocalSettings::IsAutoRun()) break;
      if (toolkit::Control* button = id == TIMER_AUTOINSTALL_ID ? installBtn_ : startApp_) Send("click", button);
      break;
    case TIMER_CAROUSEL_ID:
      AdvanceCarousel();
      break;
    case TIMER_CAROUSELSLIDE_ID:
      if (anima_) anima_->Step();
      break;
    case TIMER_BACKGROUNDEXIT_ID:
      KillTimer(id);
      PostClose();
      break;
    default:
      break;
  }
}

// For whoever follows the window without seeing it: the page and its title.
void InstallUIMainWnd::AnnouncePage(const std::wstring& page, const toolkit::Control* title) {
  const std::wstring text = title ? toolkit::ParseMarkup(title->look.text).PlainText() : std::wstring();
  loop().backend().Announce(handle(), page + L": " + text);
}

int InstallUIMainWnd::ProgressValue() const { return progressValue_; }

void InstallUIMainWnd::ShowErrorState() { SetTaskbarProgress(ProgressValue(), toolkit::TaskbarState::kError); }

void InstallUIMainWnd::EnableClosing() {
  if (closeBtn_) closeBtn_->state.enabled = true;
  KillTimer(TIMER_CAROUSEL_ID);
}

// The install has ended: the window may close without asking.
void InstallUIMainWnd::ShowEndedState() {
  EnableClosing();
  if (mainTab_) mainTab_->SelectIndex(0);
  closeConfirmKind_ = kMsgFinish;
  Arrange();
}

// The progress timers stop with the install, so that a retry starts from 0.
void InstallUIMainWnd::DownLoadFail() {
  LOG(INFO) << " Enter fail page ";
  for (unsigned timer : {TIMER_VERIFYPROGRESS_ID, TIMER_INSTALLPROGRESS_ID, TIMER_STARTPROGRESS_ID,
                         TIMER_ATLASTPROGRESS_ID})
    KillTimer(timer);
  for (toolkit::Control* failure : {failRetry_, failAdvice_, warningImage_})
    if (failure) failure->state.visible = true;
  if (finishLabel_) finishLabel_->state.visible = false;
  if (startApp_) {
    startApp_->state.enabled = true;
    startApp_->look.text = GetLanguageText("install_page", "retry_btn", currentLanguage_, archive_);
    startApp_->state.visible = true;
  }
  if (startShortcut_) startShortcut_->state.visible = false;
  Arrange();
  AnnouncePage(L"failure page", failRetry_);
  if (LocalSettings::IsAutoRun()) SetTimer(TIMER_AUTORETRY_ID, 1000);
  if (!analytics_.State().IsBackgroundMode()) return;
  analytics_.AddUserLog_funnelPair("DownFail", "DownFailReason", "DownFailError",
                                   "error_page_" + std::to_string(autoAnsweredKind_));
  LOG(INFO) << " BgMode will auto exit when fail";
  PostClose();
}
