// Closing the main window: where the user left, whether the install runs on
// hidden in the background, the hidden copy that uploads the log, and the
// end of the install and its threads.
#include <easylogging++.h>

#include <string>

#include "platform/Platform.h"
#include "window/InstallUIMainWnd.h"

namespace {

// Where the user closed the window. The first four positions measure how
// long the user stayed in the stage, from `since`.
struct ClosePosition {
  const char* position;
  const char* stage;
  const char* durationName;  // nullptr: no duration
  const char* reason;
  uint64_t since;
  bool running;  // on the running page, where the install may run on hidden
};

// The log file's name and extension, without its folder.
std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

// The title bar's close: asks unless the install has ended.
void InstallUIMainWnd::CloseWithConfirm() {
  if (closeConfirmKind_ == kMsgFinish) {
    Show(false);
    PostClose();
    return;
  }
  const int answer = ShowMessageBox(closeConfirmKind_, L"");
  if (answer == kMsgResultYes && (closeConfirmKind_ == kMsgFinish || closeConfirmKind_ == kMsgCancel)) PostClose();
}

bool InstallUIMainWnd::OnClose() {
  const int progress = ProgressValue();
  const bool runningPage = mainTab_ && mainTab_->state.selectedIndex == 1;
  const bool settingsPage = !runningPage && (!pageLayout_ || pageLayout_->state.selectedIndex == 0);
  ClosePosition at{"close06", "Installing", nullptr, "", 0, false};
  if (started_) at = {"close07", "Starting", nullptr, "", 0, false};
  else if (settingsPage) at = {"close01", "BeforeDownload", "DurationFordownLoading", "UserCloses", windowStartTick_, false};
  else if (runningPage && progress <= 84) at = {"close02", "Downloading", "DownloadDuration", "UserCloses", state_.installClickTick, true};
  else if (runningPage && progress <= 90)
    at = {"close04", "Md5Check", "VerificationDuration", "UserVerificationUserCloses", state_.md5CheckStartTick, true};
  else if (runningPage) at = {"close03", "Installing", "ActualTime", "UserCloses", state_.installerStartTick, true};
  else if (failRetry_ && failRetry_->state.visible) at = {"close05", "Installing", nullptr, "", 0, false};

  // A background run is chosen once; its own closes end the process.
  bool runOn = false;
  if (at.running) {
    analytics_.AddUserLog_funnelPair("CloseDownloader", "Close", "ClosePosition", std::to_string(progress) + "%");
    runOn = analytics_.State().GetBackRunning() != 0 && !analytics_.State().IsBackgroundMode();
    if (runOn) {
      LOG(INFO) << " Close and run background at: " << progress;
      analytics_.State().SetBackgroundMode();
    }
  }
  if (runOn) Show(false);
  else if (analytics_.State().GetDownloaderConfig() == 2) StartCloseUpload(at.position);
  if (at.durationName)
    analytics_.AddUserLog_funnelPair("RunningTime", at.durationName, at.reason,
                                     std::to_string((NowMs() - at.since) / 1000));
  analytics_.AddUserLogEvent("CrashRate", "Close", at.position);
  analytics_.AddUserLog_funnel("Keypoint", at.stage, 0, "CorePublicModule", "Close", "null");
  if (runOn) return true;
  StopInstall();
  loop().Quit(0);
  return false;
}

// A hidden copy of the installer uploads this run's log ("-close0N name.ext").
void InstallUIMainWnd::StartCloseUpload(const std::string& position) {
  const std::wstring parameters =
      L" -" + platform::Utf8ToWide(position) + L" " + FileNameOf(analytics_.State().GetLogFilePath());
  LOG(INFO) << " Close upload: " << platform::WideToUtf8(parameters);
  if (!platform::System().StartOwnCopy(parameters, false)) LOG(INFO) << " [Error]: the uploading copy did not start";
}

// The worker sees the flag at its next step; its wait for the bar ends now.
void InstallUIMainWnd::StopInstall() {
  state_.closing = true;
  state_.progressFinished.Set();
}

bool InstallUIMainWnd::WaitForAllThreadExit(uint64_t eachMs) {
  LOG(INFO) << "InstallUIMainWnd WaitForAllThreadExit";
  bool ended = true;
  for (WorkerThread* thread : {&configThread_, &privacyThread_, &bannerThread_, &installThread_})
    ended = thread->Wait(eachMs) && ended;
  return ended;
}
