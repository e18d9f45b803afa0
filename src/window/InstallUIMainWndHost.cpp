// What the install worker reaches of the window. The values are safe from
// any thread; every action is posted to the UI thread and returns at once,
// so that the worker never touches a control.
#include <easylogging++.h>

#include "window/InstallUIMainWnd.h"

std::wstring InstallUIMainWnd::Entry(const std::wstring& name) { return ReadEntry(name); }

std::wstring InstallUIMainWnd::InstallPath() {
  std::lock_guard<std::mutex> guard(stateLock_);
  return workerInstallPath_;
}

void InstallUIMainWnd::HandOverToAnalytics() { HandOverToAnalytics(configure_->productVersion); }

void InstallUIMainWnd::Post(unsigned message, intptr_t wparam) { SkinWindow::Post(message, wparam, 0); }

// The worker's carousel timer does nothing when it fires; it is armed only
// when there is more than one picture.
void InstallUIMainWnd::StartCarouselTimer() {
  RunOnUiThread([this] {
    if (carouselFrameCount_ > 1) SetTimer(TIMER_WORKERCAROUSEL_ID, 1000);
  });
}

void InstallUIMainWnd::StopCarouselTimer() {
  RunOnUiThread([this] { KillTimer(TIMER_WORKERCAROUSEL_ID); });
}

void InstallUIMainWnd::InstallerEnded() {
  RunOnUiThread([this] { OnInstallerEnded(); });
}

void InstallUIMainWnd::ClickStartApp() {
  RunOnUiThread([this] {
    if (startApp_) Send("click", startApp_);
  });
}

void InstallUIMainWnd::CloseWindow() {
  RunOnUiThread([this] { Close(); });
}
