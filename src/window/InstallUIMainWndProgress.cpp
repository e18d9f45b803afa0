// The main window's progress: the bar and its label, the download's share
// of it, and the window's height.
#include <algorithm>
#include <cstdio>

#include "window/InstallUIMainWnd.h"
#include "window/LanguageTemplate.h"

// Since the bar never moves backwards, the highest of a worker's requests
// is all the UI thread needs to see.
int InstallUIMainWnd::SetProgress(int percent) {
  if (std::this_thread::get_id() == uiThread_) {
    ShowProgress(percent);
    return percent;
  }
  int pending = pendingProgress_;
  while (percent > pending && !pendingProgress_.compare_exchange_weak(pending, percent)) {
  }
  if (!progressPosted_.exchange(true)) SkinWindow::Post(kShowProgressMessage);
  return percent;
}

void InstallUIMainWnd::ShowPendingProgress() {
  progressPosted_ = false;
  const int percent = pendingProgress_.exchange(-1);
  if (percent >= 0) ShowProgress(percent);
}

// Never backwards: a value at or below the bar's changes nothing.
void InstallUIMainWnd::ShowProgress(int percent) {
  if (percent <= progressValue_) return;
  progressValue_ = percent;
  if (progressLabel_) progressLabel_->look.text = FillTemplate(progressFormat_, static_cast<double>(percent));
  if (progress_) progress_->state.value = percent;
  SetTaskbarProgress(percent, toolkit::TaskbarState::kNormal);
}

// The download fills the bar from 0 to 85; the installer run has the rest.
int InstallUIMainWnd::OnDownloadProgress(int64_t downloaded, int64_t total) {
  if (total <= 0) return 0;
  int64_t unknown = 0;
  if (state_.packageSize.compare_exchange_strong(unknown, total)) {
    char label[32];
    std::snprintf(label, sizeof label, "%.2fMB", static_cast<float>(total) / 1048576);
    analytics_.AddUserLogEvent("Other", "PackageSize", label);
  }
  const float share = static_cast<float>(downloaded) / static_cast<float>(total) * 85;
  return SetProgress(static_cast<int>(std::clamp(share, 0.0f, 85.0f)));
}

void InstallUIMainWnd::SetWindowCollapsed(bool collapsed) {
  toolkit::Rect rect = WindowRect();
  rect.bottom = rect.top + (collapsed ? kCollapsedHeight : kExpandedHeight);
  MoveWindow(rect);
}
