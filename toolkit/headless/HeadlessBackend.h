// The backend of Linux builds and tests: no screen, only the state a screen
// would show (which windows exist, where, enabled, visible, minimised, the
// taskbar progress, the icon), no user, a real wait, and text metrics of a monospaced font:
// every character advances half the font size, a line is the font size and
// a third high, its ascent the font size. Its picture cache decodes with the platform's decoder;
// captions leave the pixels as they are and are only recorded.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "toolkit/WindowBackend.h"
#include "toolkit/headless/UserScript.h"

namespace toolkit {

class HeadlessBackend : public WindowBackend {
 public:
  struct WindowState {
    bool created = false, enabled = true, visible = false, minimized = false;
    WindowSpec spec;
    Rect rect;
    int paints = 0;  // Invalidate calls
    int taskbarPercent = 0;
    TaskbarState taskbarState = TaskbarState::kNoProgress;
    int icon = 0;  // icon resource id; 0: none set
  };
  // A caption as DrawCaption received it, with the size of its picture.
  struct DrawnCaption {
    Caption caption;
    Size picture;
  };
  // The screen's work area: a 1920 by 1080 screen less a 40-pixel taskbar.
  static constexpr Rect kWorkArea{0, 0, 1920, 1040};

  // The layouts' pictures are read from `archive`.
  explicit HeadlessBackend(const ResourceArchive& archive = ResourceArchive::Shared());

  void SetWindowEnabled(int window, bool enabled) override;
  void SetWindowVisible(int window, bool visible) override;
  void Wait(int timeoutMs) override;
  void Wake() override;
  TextExtent MeasureText(const std::wstring& text, const FontSpec& font, const std::string& language) override;
  bool CreateNativeWindow(SkinWindow& window, const WindowSpec& spec) override;
  void DestroyNativeWindow(int window) override;
  Rect WindowRect(int window) override;
  void MoveWindow(int window, const Rect& rect) override;
  void CenterWindow(int window, int owner) override;
  void MinimizeWindow(int window) override;
  void Invalidate(int window) override;
  void SetTaskbarProgress(int window, int percent, TaskbarState state) override;
  void SetWindowIcon(int window, int resourceId) override;
  bool HasUser() const override { return script_ != nullptr; }  // the script's user
  PictureCache& Pictures() override { return pictures_; }
  void DrawCaption(Image& image, const Caption& caption) override;
  void Announce(int window, const std::wstring& text) override;
  // A dialog window of the loop ("FOLDER_DIALOG"), modal over `owner`,
  // that the script's folder steps answer. Without a script nobody can
  // answer it: cancelled at once.
  bool BrowseForFolder(MessageLoop& loop, int owner, std::wstring* folder) override;

  // Windows never touched are enabled and hidden.
  bool IsEnabled(int window) const;
  bool IsVisible(int window) const;
  WindowState State(int window) const;
  // Every caption drawn so far, in order; and every announcement.
  std::vector<DrawnCaption> Captions() const;
  std::vector<std::wstring> Announcements() const;

  // Lets a user follow the script file (see UserScript) and reports on
  // stdout, as "setup-ui: " lines, what a screen would show: windows shown
  // and hidden, the taskbar progress, the steps taken.
  void FollowScript(const std::string& path);

 private:
  static constexpr int kScriptPollMs = 50;
  // The folder dialog that is up; window 0: none.
  struct FolderDialog {
    MessageLoop* loop = nullptr;
    int window = 0;
    std::wstring chosen;
  };
  void AnswerFolderDialog();
  void Report(const std::string& line);
  std::vector<SkinWindow*> ShownWindows() const;  // top-most first

  mutable std::mutex lock_;
  std::condition_variable woken_;
  bool pendingWake_ = false;
  std::map<int, WindowState> windows_;
  std::map<int, SkinWindow*> skins_;
  std::unique_ptr<UserScript> script_;
  FolderDialog folderDialog_;  // UI thread only
  PictureCache pictures_;  // UI thread only
  std::vector<DrawnCaption> captions_;
  std::vector<std::wstring> announcements_;
};

}  // namespace toolkit
