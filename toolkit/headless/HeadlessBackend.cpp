#include "toolkit/headless/HeadlessBackend.h"

#include <algorithm>
#include <chrono>

namespace toolkit {

void HeadlessBackend::SetWindowEnabled(int window, bool enabled) {
  std::lock_guard<std::mutex> guard(lock_);
  enabled_[window] = enabled;
}

void HeadlessBackend::SetWindowVisible(int window, bool visible) {
  std::lock_guard<std::mutex> guard(lock_);
  visible_[window] = visible;
}

void HeadlessBackend::Wait(int timeoutMs) {
  std::unique_lock<std::mutex> guard(lock_);
  const auto woken = [this] { return pendingWake_; };
  if (timeoutMs < 0) woken_.wait(guard, woken);
  else woken_.wait_for(guard, std::chrono::milliseconds(timeoutMs), woken);
  pendingWake_ = false;
}

void HeadlessBackend::Wake() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    pendingWake_ = true;
  }
  woken_.notify_all();
}

Size HeadlessBackend::MeasureText(const std::wstring& text, const FontSpec& font) {
  const int advance = std::max(font.size / 2, 1);
  return Size{advance * static_cast<int>(text.size()), font.size + font.size / 3};
}

bool HeadlessBackend::IsEnabled(int window) const {
  std::lock_guard<std::mutex> guard(lock_);
  const auto found = enabled_.find(window);
  return found == enabled_.end() || found->second;
}

bool HeadlessBackend::IsVisible(int window) const {
  std::lock_guard<std::mutex> guard(lock_);
  const auto found = visible_.find(window);
  return found != visible_.end() && found->second;
}

}  // namespace toolkit
