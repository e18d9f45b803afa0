// The main window's progress: the bar and its label, the download's share
// of it, and the window's height.
#include <algorithm>
#include <cstdio>

#include "window/InstallUIMainWnd.h"
#include "window/LanguageTemplate.h"

int InstallUIMainWnd::SetProgress(int percent) {
  RunOnUiThread([this, percent] { ShowProgress(percent); });
  return percent;
}

// Never backwards: a value at or below the bar's changes nothing.
void InstallUIMainWnd::ShowProgress(int percent) {
  if (!progressLabel_ || !progress_ || percent <= progress_->state.value) return;
  progressLabel_->look.text = FillTemplate(progressFormat_, static_cast<double>(percent));
  progress_->state.value = percent;
  SetTaskbarProgress(percent, toolkit::TaskbarState::kNormal);
}

// The download fills the bar from 0 to 85; the installer run has the rest.
int InstallUIMainWnd::OnDownloadProgress(int64_t downloaded, int64_t total) {
  if (total <= 0) return 0;
  int64_t unknown = 0;
  if (packageSize_.compare_exchange_strong(unknown, total)) {
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
