// The installer's main window: it reads the product values out of its own
// layout, owns the download configuration and the window's worker threads,
// picks and applies the interface language, shows the install progress and
// opens the message boxes. Its files: InstallUIMainWnd.cpp (life, threads,
// messages), InstallUIMainWndInit.cpp (initialisation and launch analytics),
// InstallUIMainWndLanguage.cpp, InstallUIMainWndProgress.cpp and
// InstallUIMainWndPath.cpp (install path, free space, running product).
//
// Threads: every handler runs on the UI thread (the thread that made the
// window). Workers reach the window only through thread-safe members
// (SetProgress and RunOnUiThread post to the UI thread; the package address
// and the product version hold a lock) and through the process-wide pointer,
// which the destructor clears under the lock that every call through it holds.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "analytics/SingleUserLog.h"
#include "config/CConfigure.h"
#include "platform/Process.h"
#include "startup/IConfigEntryReader.h"
#include "system/EnumLanguage.h"
#include "toolkit/Clock.h"
#include "toolkit/ResourceArchive.h"
#include "toolkit/SkinWindow.h"
#include "toolkit/SteadyClock.h"
#include "window/EnumMsgType.h"
#include "download/ManualResetEvent.h"
#include "window/WorkerThread.h"

// What the main window works with; tests replace parts.
struct MainWindowContext {
  std::wstring className;  // start-up's "OV_UI_Frame_" + downloader id; empty: "OV_UI_Frame"
  const toolkit::ResourceArchive* archive = &toolkit::ResourceArchive::Shared();
  CSingleUserLog* analytics = &CSingleUserLog::GetInstance();
  const toolkit::Clock* clock = nullptr;          // nullptr: the steady clock
  std::optional<CConfigure::Hosts> configHosts;  // the configuration hosts; none: the built-in ones
  // Lists the running processes; empty: platform::ListProcesses.
  std::function<bool(std::vector<platform::ProcessEntry>*)> listProcesses;
};

class InstallUIMainWnd : public toolkit::SkinWindow,
                         public IConfigEntryReader,
                         public CSingleUserLog::FunnelSource {
 public:
  using Context = MainWindowContext;

  static constexpr unsigned TIMER_AUTOINSTALL_ID = 666;  // AutoRun presses Install
  static constexpr int kIconResource = 143;
  static constexpr uint64_t kThreadExitWaitMs = 600000;
  static constexpr int kCollapsedHeight = 360;
  static constexpr int kExpandedHeight = 560;

  explicit InstallUIMainWnd(toolkit::MessageLoop& loop, Context context = Context());
  ~InstallUIMainWnd() override;

  // Creates the window from "InstallMainWnd.xml" (popup, system menu,
  // minimise box; titled "Quenlo"); InitWindow runs within. False when the
  // layout or the window cannot be made.
  bool CreateMainWindow();
  std::wstring WindowClassName() const;

  // ---- any thread ----
  // The download front end's progress callback: reaches the window through
  // the process-wide pointer; 0 when there is no window. The percentage,
  // 0 to 85, of `downloaded` in `total`; a total of 0 or less sets none.
  static int DownloadProgressCallback(int64_t downloaded, int64_t total);
  // Shows an install percentage on the UI thread (a worker's is posted);
  // the bar never moves backwards. Returns `percent`.
  int SetProgress(int percent);
  void SetPackageUrl(const std::wstring& url);
  std::wstring GetPackageUrl() const;
  // Runs `task` on the UI thread: at once there, else posted.
  void RunOnUiThread(std::function<void()> task);
  // Set when the bar reaches its end; the install worker waits on it.
  ManualResetEvent& ProgressFinished() { return progressFinished_; }
  CConfigure* Configure() { return configure_.get(); }
  EnumLanguage CurrentLanguage() const { return currentLanguage_; }

  // ---- UI thread ----
  void SetWindowCollapsed(bool collapsed);
  // 1 for Yes, 2 for No or closed. In background mode nothing shows: the
  // kind is remembered and the answer is 1.
  int ShowMessageBox(EnumMsgType kind, const std::wstring& text);
  int AutoAnsweredKind() const { return autoAnsweredKind_; }
  void InitLanguage();
  void SelectLanguageItem(EnumLanguage language);
  void ApplyLanguage();
  // Waits, one after the other, for each started worker thread, each at most
  // `eachMs`. False when one is still running: the window must then outlive the process.
  bool WaitForAllThreadExit(uint64_t eachMs = kThreadExitWaitMs);
  // Ends the message loop; the window goes hidden.
  bool OnClose() override;

  // ---- install path, free space and the running product (InstallUIMainWndPath.cpp) ----
  // UI thread; GetInstallPath from any thread once IsCorrectInstallPath passed.
  // The install folder: fixed once IsCorrectInstallPath passed; until then
  // the edit box's text, with the product name appended unless it holds it.
  std::wstring GetInstallPath() const;
  // The checks before the install: SSD suggestion and free space (when the
  // configuration came from the server), then the folder is made. True:
  // the path is fixed, the running page shows and the install may start.
  bool IsCorrectInstallPath();
  // True when the install may go on: the product is not running (or the
  // process list cannot be read); false after the box that says it runs.
  bool AppIsRunning();
  // The edit box's text for a folder the user browsed to: the folder with
  // "Vantrel" appended unless it holds it.
  static std::wstring BrowsedInstallFolder(const std::wstring& folder);
  // ---- end of install path ----

  // The embedded configuration, read from the window's hidden labels.
  std::wstring ReadEntry(const std::wstring& name) override;
  std::string FunnelProductVersion() override;
  std::string FunnelToolsLang() override;

 protected:
  void OnMessage(unsigned message, intptr_t wparam, intptr_t lparam) override;

 private:
  // Posted to the window itself (above the custom messages): run the tasks
  // of RunOnUiThread; show the highest percentage a worker asked for.
  static constexpr unsigned kRunTasksMessage = 0x8001;
  static constexpr unsigned kShowProgressMessage = 0x8002;

  // InstallUIMainWndInit.cpp
  void InitWindow();
  void PublishProcessWindow();
  void LookUpControls();
  void ReadProductValues();
  void ApplyLicenseChoice();
  void CreateConfigure();
  void StartWorkerThreads();
  void LogStartupFacts();
  void SendLaunchAnalytics();
  int CountCarouselFrames() const;
  int EntryInt(const wchar_t* name);
  bool HasEntry(const wchar_t* name);

  // InstallUIMainWnd.cpp
  void HandleCustomMessage(unsigned message, intptr_t wparam, intptr_t lparam);
  void OnTimer(unsigned id);
  void OnClick(const toolkit::Notification& notification);
  void OnItemSelect(const toolkit::Notification& notification);
  void OnSelectChanged(const toolkit::Notification& notification);
  void AsyncGetCbsInfoThreadFunc();
  void RunPostedTasks();
  uint64_t NowMs() const { return clock_->NowMs(); }

  // InstallUIMainWndLanguage.cpp
  void ApplyLicense();
  // Tells analytics the language and the product version of the configuration.
  void HandOverToAnalytics(const std::wstring& productVersion);
  std::wstring ProductVersion() const;

  // InstallUIMainWndProgress.cpp
  int OnDownloadProgress(int64_t downloaded, int64_t total);
  void ShowProgress(int percent);
  void ShowPendingProgress();

  // ---- install path, free space (InstallUIMainWndPath.cpp) ----
  // The "browser_btn" action: 0 when a folder was chosen, -1 when cancelled.
  int OnBrowseFolder();
  // Fills the space labels for a folder; false when its free space cannot be read.
  bool ShowSpaceInfo(const std::wstring& folder);
  void ShowSpaceLabels();
  // 1 when there is room for a package of `size` bytes (0 or less: unknown);
  // -1 when the download drive, -2 when the install drive is too full, with
  // that drive's free bytes in *free.
  int EnoughFreeSpace(int64_t size, uint64_t* free);
  // True with the solid-state drive's root in *ssd when the install path is
  // on a hard disk and an SSD has room for the package.
  bool NeedSuggestSSD(int64_t size, std::wstring* ssd);
  // The SSD suggestion and the space check of IsCorrectInstallPath.
  bool HasRoomForPackage(int64_t size);
  std::wstring InstallPathText() const;
  void SetInstallPathText(const std::wstring& text);
  // ---- end of install path ----

  const Context context_;
  const toolkit::ResourceArchive& archive_;
  CSingleUserLog& analytics_;
  toolkit::SteadyClock steadyClock_;
  const toolkit::Clock* clock_;
  const std::thread::id uiThread_;

  // ---- controls of the layout (owned by it; null when it lacks them) ----
  toolkit::Control* minBtn_ = nullptr;
  toolkit::Control* closeBtn_ = nullptr;
  toolkit::Control* mainTab_ = nullptr;
  toolkit::Control* installPathEdit_ = nullptr;
  toolkit::Control* progress_ = nullptr;
  toolkit::Control* progressLabel_ = nullptr;
  toolkit::Control* spaceNeed_ = nullptr;
  toolkit::Control* spaceFree_ = nullptr;
  toolkit::Control* licenseLink_ = nullptr;
  toolkit::Control* licenseLinkNew_ = nullptr;
  toolkit::Control* licenseCheckbox_ = nullptr;
  toolkit::Control* setLayout_ = nullptr;
  toolkit::Control* pageLayout_ = nullptr;
  toolkit::Control* installBtn_ = nullptr;
  toolkit::Control* licenseText_ = nullptr;
  toolkit::Control* licenseTextLayout_ = nullptr;
  toolkit::Control* licenseArea_ = nullptr;
  toolkit::Control* languageCombo_ = nullptr;
  toolkit::Control* failRetry_ = nullptr;
  toolkit::Control* failAdvice_ = nullptr;
  toolkit::Control* warningImage_ = nullptr;
  toolkit::Control* startApp_ = nullptr;
  toolkit::Control* startShortcut_ = nullptr;
  toolkit::Control* carouselArea_ = nullptr;
  toolkit::Control* backgroundLayout_ = nullptr;
  std::vector<toolkit::Control*> carouselOptions_;

  // ---- UI thread ----
  std::wstring progressFormat_, spaceNeedFormat_, spaceFreeFormat_;
  float freeSpaceGb_ = 0;
  std::wstring productName_;
  std::wstring defaultInstallPath_;
  std::wstring downloadFolder_;
  int carouselFrameCount_ = 0;
  uint64_t carouselIntervalMs_ = 7000;
  int32_t downloaderId_ = 0, siteId_ = 0, languageId_ = 0;
  int frameDuration_ = 0;  // Gif_duration
  int startFlag_ = 0;      // NeedStart_flag
  int adminFlag_ = 0;
  int chooseLicense_ = 0;
  int suggestSsd_ = 0;
  std::optional<int> mainPid_;
  std::wstring newLicenseText_, licenseUrl_, privacyUrl_;
  bool newLicenseFlag_ = false;
  bool retry_ = false;
  bool addTrackingQuery_ = true;
  int autoAnsweredKind_ = -1;
  uint64_t windowStartTick_ = 0;
  // Install path: empty until IsCorrectInstallPath passed, then fixed.
  std::wstring installPath_;

  // ---- shared with the workers ----
  std::atomic<EnumLanguage> currentLanguage_{English};
  std::atomic<int64_t> packageSize_{0};
  // A worker's progress: however often it calls, one message at a time is
  // posted, carrying the highest percentage asked for (-1: none).
  std::atomic<int> pendingProgress_{-1};
  std::atomic<bool> progressPosted_{false};
  std::unique_ptr<CConfigure> configure_;
  mutable std::mutex stateLock_;  // the package address and the product version
  std::wstring packageUrl_;
  std::wstring productVersion_;   // of the configuration, as last handed to analytics
  std::mutex tasksLock_;
  std::deque<std::function<void()>> tasks_;
  ManualResetEvent progressFinished_;
  // In the order the shutdown waits for them.
  WorkerThread configThread_, privacyThread_, bannerThread_, installThread_;
};
