#include "toolkit/headless/HeadlessBackend.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "platform/Platform.h"

#include "toolkit/MessageLoop.h"
#include "toolkit/PlatformBackend.h"
#include "toolkit/SkinWindow.h"

namespace toolkit {

HeadlessBackend::HeadlessBackend(const ResourceArchive& archive) : pictures_(archive) {
  pictures_.SetDecoder(CreatePictureDecoder());
}

void HeadlessBackend::SetWindowEnabled(int window, bool enabled) {
  std::lock_guard<std::mutex> guard(lock_);
  windows_[window].enabled = enabled;
}

void HeadlessBackend::SetWindowVisible(int window, bool visible) {
  std::string title;
  {
    std::lock_guard<std::mutex> guard(lock_);
    WindowState& state = windows_[window];
    if (state.visible == visible) return;
    state.visible = visible;
    title = platform::WideToUtf8(state.spec.className);
  }
  Report("window " + title + (visible ? " shown" : " hidden"));
}

// With a script, the wait is short, so that the user acts while nothing else happens.
void HeadlessBackend::Wait(int timeoutMs) {
  if (script_ && (timeoutMs < 0 || timeoutMs > kScriptPollMs)) timeoutMs = kScriptPollMs;
  {
    std::unique_lock<std::mutex> guard(lock_);
    const auto woken = [this] { return pendingWake_; };
    if (timeoutMs < 0) woken_.wait(guard, woken);
    else woken_.wait_for(guard, std::chrono::milliseconds(timeoutMs), woken);
    pendingWake_ = false;
  }
  if (!script_) return;
  if (folderDialog_.window) AnswerFolderDialog();
  else script_->Step(ShownWindows());
}

bool HeadlessBackend::BrowseForFolder(MessageLoop& loop, int owner, std::wstring* folder) {
  if (!script_ || folderDialog_.window) return false;
  const int dialog = loop.AddWindow(nullptr, nullptr);
  {
    std::lock_guard<std::mutex> guard(lock_);
    WindowState& state = windows_[dialog];
    state.created = true;
    state.spec.className = L"FOLDER_DIALOG";
  }
  folderDialog_ = FolderDialog{&loop, dialog, std::wstring()};
  const bool chosen = loop.RunModal(dialog, owner) == 1;
  if (chosen) *folder = folderDialog_.chosen;
  folderDialog_ = FolderDialog();
  loop.RemoveWindow(dialog);
  DestroyNativeWindow(dialog);
  return chosen;
}

// An empty folder cancels, as the dialog's Cancel button does.
void HeadlessBackend::AnswerFolderDialog() {
  std::wstring folder;
  if (!script_->AnswerFolderDialog(&folder)) return;
  folderDialog_.chosen = folder;
  folderDialog_.loop->EndModal(folderDialog_.window, folder.empty() ? 2 : 1);
}

void HeadlessBackend::FollowScript(const std::string& path) { script_ = std::make_unique<UserScript>(path); }

void HeadlessBackend::Report(const std::string& line) {
  if (!script_) return;
  std::printf("setup-ui: %s\n", line.c_str());
  std::fflush(stdout);
}

std::vector<SkinWindow*> HeadlessBackend::ShownWindows() const {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<SkinWindow*> shown;
  for (auto it = skins_.rbegin(); it != skins_.rend(); ++it) {
    const auto state = windows_.find(it->first);
    if (state != windows_.end() && state->second.visible && state->second.enabled) shown.push_back(it->second);
  }
  return shown;
}

void HeadlessBackend::Wake() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    pendingWake_ = true;
  }
  woken_.notify_all();
}

TextExtent HeadlessBackend::MeasureText(const std::wstring& text, const FontSpec& font, const std::string&) {
  const int advance = std::max(font.size / 2, 1);
  return TextExtent{static_cast<float>(advance * static_cast<int>(text.size())), static_cast<float>(font.size),
                    static_cast<float>(font.size + font.size / 3)};
}

bool HeadlessBackend::CreateNativeWindow(SkinWindow& window, const WindowSpec& spec) {
  const Size size = window.layout().size;
  std::lock_guard<std::mutex> guard(lock_);
  WindowState& state = windows_[window.handle()];
  state.created = true;
  state.spec = spec;
  state.rect = Rect{0, 0, size.width, size.height};
  skins_[window.handle()] = &window;
  return true;
}

void HeadlessBackend::DestroyNativeWindow(int window) {
  std::lock_guard<std::mutex> guard(lock_);
  windows_.erase(window);
  skins_.erase(window);
}

Rect HeadlessBackend::WindowRect(int window) {
  std::lock_guard<std::mutex> guard(lock_);
  return windows_[window].rect;
}

void HeadlessBackend::MoveWindow(int window, const Rect& rect) {
  std::lock_guard<std::mutex> guard(lock_);
  windows_[window].rect = rect;
}

void HeadlessBackend::CenterWindow(int window, int owner) {
  std::lock_guard<std::mutex> guard(lock_);
  const auto found = windows_.find(owner);
  const Rect around = owner && found != windows_.end() ? found->second.rect : kWorkArea;
  Rect& rect = windows_[window].rect;
  const int width = rect.Width(), height = rect.Height();
  rect.left = around.left + (around.Width() - width) / 2;
  rect.top = around.top + (around.Height() - height) / 2;
  rect.right = rect.left + width;
  rect.bottom = rect.top + height;
}

void HeadlessBackend::MinimizeWindow(int window) {
  std::lock_guard<std::mutex> guard(lock_);
  windows_[window].minimized = true;
}

void HeadlessBackend::Invalidate(int window) {
  std::lock_guard<std::mutex> guard(lock_);
  const auto found = windows_.find(window);
  if (found != windows_.end()) ++found->second.paints;
}

void HeadlessBackend::SetTaskbarProgress(int window, int percent, TaskbarState state) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    windows_[window].taskbarPercent = percent;
    windows_[window].taskbarState = state;
  }
  if (state == TaskbarState::kNormal) Report("progress " + std::to_string(percent));
  else Report(state == TaskbarState::kNoProgress ? "progress none" : "progress error");
}

void HeadlessBackend::SetWindowIcon(int window, int resourceId) {
  std::lock_guard<std::mutex> guard(lock_);
  windows_[window].icon = resourceId;
}

bool HeadlessBackend::IsEnabled(int window) const {
  std::lock_guard<std::mutex> guard(lock_);
  const auto found = windows_.find(window);
  return found == windows_.end() || found->second.enabled;
}

bool HeadlessBackend::IsVisible(int window) const {
  std::lock_guard<std::mutex> guard(lock_);
  const auto found = windows_.find(window);
  return found != windows_.end() && found->second.visible;
}

HeadlessBackend::WindowState HeadlessBackend::State(int window) const {
  std::lock_guard<std::mutex> guard(lock_);
  const auto found = windows_.find(window);
  return found == windows_.end() ? WindowState{} : found->second;
}

void HeadlessBackend::DrawCaption(Image& image, const Caption& caption) {
  std::lock_guard<std::mutex> guard(lock_);
  captions_.push_back(DrawnCaption{caption, Size{image.width, image.height}});
}

void HeadlessBackend::Announce(int window, const std::wstring& text) {
  std::string title;
  {
    std::lock_guard<std::mutex> guard(lock_);
    announcements_.push_back(text);
    const auto found = windows_.find(window);
    if (found != windows_.end()) title = platform::WideToUtf8(found->second.spec.className);
  }
  Report("window " + title + " says: " + platform::WideToUtf8(text));
}

std::vector<HeadlessBackend::DrawnCaption> HeadlessBackend::Captions() const {
  std::lock_guard<std::mutex> guard(lock_);
  return captions_;
}

std::vector<std::wstring> HeadlessBackend::Announcements() const {
  std::lock_guard<std::mutex> guard(lock_);
  return announcements_;
}

}  // namespace toolkit
