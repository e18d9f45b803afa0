// The installer's main window: it reads the product values out of its own
// layout, owns the download configuration and the window's worker threads,
// picks and applies the interface language, shows the install progress and
// opens the message boxes; it is the install worker's host. Its files:
// InstallUIMainWnd.cpp (life, threads, messages), InstallUIMainWndInit.cpp
// (initialisation and launch analytics), InstallUIMainWndLanguage.cpp,
// InstallUIMainWndProgress.cpp, InstallUIMainWndHost.cpp (what the worker
// reaches), InstallUIMainWndInstall.cpp (the install task, the worker's
// messages and the progress timers), InstallUIMainWndActions.cpp (the user's
// clicks, links and language choice), InstallUIMainWndClose.cpp (closing and
// the background run), InstallUIMainWndPath.cpp (install path, free space,
// running product) and InstallUIMainWndCarousel.cpp (the carousel and the
// delivered banners).
//
// Threads: every handler runs on the UI thread (the thread that made the
// window). Workers reach the window only through thread-safe members
// (SetProgress and RunOnUiThread post to the UI thread; the package address
// and the product version hold a lock; the embedded entries are read once,
// before any worker starts; the install's phases are atomic) and through the
// process-wide pointer, which the destructor clears under the lock that
// every call through it holds.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "analytics/SingleUserLog.h"
#include "config/CConfigure.h"
#include "platform/Process.h"
#include "install/InstallHost.h"
#include "config/IConfigEntryReader.h"
#include "system/EnumLanguage.h"
#include "system/FuntionImpl.h"
#include "toolkit/Clock.h"
#include "toolkit/ResourceArchive.h"
#include "toolkit/SkinWindow.h"
#include "toolkit/SteadyClock.h"
#include "window/BannerRecord.h"
#include "window/CAnima.h"
#include "window/EnumMsgType.h"
#include "window/WorkerThread.h"

class InstallUIMainWnd;

// What the main window works with; tests replace parts.
struct MainWindowContext {
  std::wstring className;  // start-up's "OV_UI_Frame_" + downloader id; empty: "OV_UI_Frame"
  const toolkit::ResourceArchive* archive = &toolkit::ResourceArchive::Shared();
  CSingleUserLog* analytics = &CSingleUserLog::GetInstance();
  const toolkit::Clock* clock = nullptr;          // nullptr: the steady clock
  std::optional<CConfigure::Hosts> configHosts;  // the configuration hosts; none: the built-in ones
  // Lists the running processes; empty: platform::ListProcesses.
  std::function<bool(std::vector<platform::ProcessEntry>*)> listProcesses;
  // The install worker's body, run on the install thread; empty: InstallWorker.
  std::function<int(InstallHost&)> runInstall;
  // The banner fetch, run once on the banner thread; empty: InstallUIMainWnd::GetCbsBanner.
  std::function<void(InstallUIMainWnd&)> fetchBanners;
  // The privacy-link fetch of the newer licence layout, run on the privacy
  // thread; empty: InstallUIMainWnd::GetCbsPrivacy.
  std::function<void(InstallUIMainWnd&)> fetchPrivacy;
};

class InstallUIMainWnd : public toolkit::SkinWindow,
                         public IConfigEntryReader,
                         public CSingleUserLog::FunnelSource,
                         public InstallHost {
 public:
  using Context = MainWindowContext;

  static constexpr unsigned TIMER_AUTOINSTALL_ID = 666;       // AutoRun presses Install
  static constexpr unsigned TIMER_AUTORETRY_ID = 888;         // AutoRun presses retry
  static constexpr unsigned TIMER_WORKERCAROUSEL_ID = 1000;   // armed by the worker; does nothing
  static constexpr unsigned TIMER_CAROUSEL_ID = 2000;         // the next carousel picture
  static constexpr unsigned TIMER_CAROUSELSLIDE_ID = 2001;    // a step of the carousel's slide
  static constexpr unsigned TIMER_VERIFYPROGRESS_ID = 1920;   // 85 towards 90
  static constexpr unsigned TIMER_INSTALLPROGRESS_ID = 1921;  // 90 towards 99, estimated
  static constexpr unsigned TIMER_STARTPROGRESS_ID = 1922;    // 1 percent after the start
  static constexpr unsigned TIMER_ATLASTPROGRESS_ID = 1923;   // the final run to 100
  static constexpr unsigned TIMER_BACKGROUNDEXIT_ID = 1924;   // a background run ends after success
  // The installer-run timer's interval stays within these bounds, whatever the server says.
  static constexpr int64_t kMinEstimateIntervalMs = 100;
  static constexpr int64_t kMaxEstimateIntervalMs = 600000;
  static constexpr int kIconResource = 143;
  static constexpr uint64_t kThreadExitWaitMs = 600000;
  static constexpr int kCollapsedHeight = 360;
  static constexpr int kExpandedHeight = 560;

  explicit InstallUIMainWnd(toolkit::MessageLoop& loop, Context context = Context());
  ~InstallUIMainWnd() override;

  // Creates the window from "InstallMainWnd.xml" (popup, system menu,
  // minimise box; titled with the embedded configuration's product name,
  // which the taskbar, Alt+Tab and screen readers show); InitWindow runs
  // within. False when the layout or the window cannot be made.
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
  std::wstring GetPackageUrl() const;
  // Runs `task` on the UI thread: at once there, else posted.
  void RunOnUiThread(std::function<void()> task);
  EnumLanguage CurrentLanguage() const { return currentLanguage_; }
  // The banner thread's end: every banner picture is on disk and decodes.
  // Stores the records (by sort) and posts MSG_BANNER_READY.
  void DeliverBanners(std::map<int, BannerRecord> banners);

  // ---- InstallHost (any thread; the actions are posted to the UI thread) ----
  InstallState& State() override { return state_; }
  CConfigure& Configure() override { return *configure_; }
  std::wstring Entry(const std::wstring& name) override;
  EnumLanguage Language() override { return currentLanguage_; }
  std::wstring InstallPath() override;
  void SetPackageUrl(const std::wstring& url) override;
  void HandOverToAnalytics() override;
  CSingleUserLog& Analytics() override { return analytics_; }
  void DownloadProgress(int64_t downloaded, int64_t total) override { DownloadProgressCallback(downloaded, total); }
  void Post(unsigned message, intptr_t wparam) override;
  void StartCarouselTimer() override;
  void StopCarouselTimer() override;
  void InstallerEnded() override;
  void ClickStartApp() override;
  void CloseWindow() override;

  // ---- UI thread ----
  void SetWindowCollapsed(bool collapsed);
  // 1 for Yes, 2 for No or closed. In background mode nothing shows: the
  // kind is remembered and the answer is 1. Once the window has closed for
  // good nothing shows and the answer is 2; a box that is up when it closes
  // ends with 0.
  int ShowMessageBox(EnumMsgType kind, const std::wstring& text);
  int AutoAnsweredKind() const { return autoAnsweredKind_; }
  void InitLanguage();
  void SelectLanguageItem(EnumLanguage language);
  void ApplyLanguage();
  // 0 when the install was started; -1 when a check failed or the previous
  // install thread has not ended yet.
  int BeginInstallTask();
  // Waits, one after the other, for each started worker thread, each at most
  // `eachMs` (a close has told the install to stop). False when one is still
  // running: the window must then outlive the process.
  bool WaitForAllThreadExit(uint64_t eachMs = kThreadExitWaitMs);
  // Every close: reports where the user left, then either ends the message
  // loop (the window goes hidden, the install stops) or, when the download
  // configuration asks for it during the install, hides the window and lets
  // the install run on in the background. True in the second case.
  bool OnClose() override;
  // Escape and Alt+F4 do what the title bar's close button does: they ask
  // unless the install has ended.
  void OnCancel() override { CloseWithConfirm(); }

  // ---- install path, free space and the running product (InstallUIMainWndPath.cpp) ----
  // UI thread; GetInstallPath from any thread once IsCorrectInstallPath passed.
  // The install folder: fixed once IsCorrectInstallPath passed; until then
  // the edit box's text, with the product name appended unless it holds it.
  std::wstring GetInstallPath() const;
  // The checks before the install: a full local path, the SSD suggestion and
  // free space (when the configuration came from the server), then the
  // folder is made. True: the path is fixed, the running page shows and the
  // install may start. Each call (a retry's too) resolves the path afresh.
  bool IsCorrectInstallPath();
  // True when the install may go on: the product is not running (or the
  // process list cannot be read); false after the box that says it runs.
  bool AppIsRunning();
  // The edit box's text for a folder the user browsed to: the folder with
  // "Vantrel" appended unless it holds it.
  static std::wstring BrowsedInstallFolder(const std::wstring& folder);
  // ---- end of install path ----

  // ---- data-service threads (InstallUIMainWndCbs.cpp) ----
  // The privacy-link fetch: fills the download configuration's link table
  // from the data service's answer.
  void GetCbsPrivacy();
  // The banner fetch: downloads every banner picture of the data service's
  // answer into the download folder and checks that it decodes; when all
  // arrived, stores their records and posts MSG_BANNER_READY.
  void GetCbsBanner();
  // The delivered banners by sort (any thread).
  std::map<int, BannerRecord> DeliveredBanners();
  // ---- end of data-service threads ----

  // The names of the controls the window finds in its layouts and drives:
  // a publisher's skin must have every one (tools/publishercheck.cpp).
  static std::vector<std::string> ControlNames();

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
  using ControlMember = toolkit::Control* InstallUIMainWnd::*;
  static const std::vector<std::pair<ControlMember, std::string>>& Controls();
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

  void ReadEntries();

  // ---- carousel (InstallUIMainWndCarousel.cpp) ----
  // Composes the built-in pictures on the first start; shows picture 1 and,
  // with two pictures or more, advances every carousel interval.
  void StartCarousel();
  // Timer 2000: selects the next option button, which slides to its picture.
  void AdvanceCarousel();
  // An option button of the carousel was selected (by the user or the timer).
  void OnSelectChanged(const toolkit::Notification& notification);
  // MSG_BANNER_READY: the delivered banners replace the built-in pictures.
  void OnBannerReady();
  // The captions' face (the language's) and colour (the software id's).
  toolkit::Caption CaptionStyle() const;
  // ---- end of carousel ----

  // InstallUIMainWnd.cpp
  void AsyncGetCbsInfoThreadFunc();
  void RunPostedTasks();
  uint64_t NowMs() const { return clock_->NowMs(); }
  // "First", or "Retry" once the user retried from the failure page.
  const char* AttemptLabel() const;

  // InstallUIMainWndInstall.cpp
  void HandleCustomMessage(unsigned message, intptr_t wparam, intptr_t lparam);
  void OnTimer(unsigned id);
  void InstallThreadFunc();
  void StartBannerFetch();
  void OnDownloadFailed(intptr_t errorCode);
  void ShowInstallFailure(EnumMsgType box);
  void OnInstallFinished();
  void OnInstallerEnded();
  void StartInstallEstimate();
  void FinishProgress();
  void ShowErrorState();
  void EnableClosing();
  void ShowEndedState();
  void DownLoadFail();
  void AnnouncePage(const std::wstring& page, const toolkit::Control* title);
  int ProgressValue() const;
  bool BarMoves() const;

  // InstallUIMainWndActions.cpp
  void OnClick(const toolkit::Notification& notification);
  void OnLink(const toolkit::Notification& notification);
  void OnItemSelect(const toolkit::Notification& notification);
  void TogglePanel(int tab, bool& open);
  void OpenPolicyLink(int link);
  void OpenPackageLink();
  std::wstring PackageLinkAddress();
  void InstallAction();
  bool AskLicenseConsent();
  void ReportStartTimeOnce();
  void RetryAction();
  void StartAction();
  void LaunchProduct();
  // False when the splash cannot be shown: the product is then not started.
  bool ShowLaunchSplash(const std::wstring& command);
  void StartProductDirectly(const std::wstring& command);
  // Analytics events from any thread (the product start's).
  FuntionImpl::EventReport EventReporter();
  bool OnFailurePage() const;

  // InstallUIMainWndCbs.cpp
  // One banner picture into `localFile`, by the system's download and then
  // the download engine, three tries; true once the file decodes.
  bool DownloadBannerPicture(const std::wstring& url, const std::wstring& localFile, size_t index,
                             size_t count, int delivered);

  // InstallUIMainWndClose.cpp
  void CloseWithConfirm();
  void StartCloseUpload(const std::string& position);
  // Stops the install for good: its waits end, the worker gives up.
  void StopInstall();

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
  // True for a full local path; else false after DL009 and the path box.
  bool IsJudgeablePath(const std::wstring& path);
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
  toolkit::Control* licenseArea_ = nullptr;
  toolkit::Control* languageCombo_ = nullptr;
  toolkit::Control* failRetry_ = nullptr;
  toolkit::Control* failAdvice_ = nullptr;
  toolkit::Control* warningImage_ = nullptr;
  toolkit::Control* startApp_ = nullptr;
  toolkit::Control* startShortcut_ = nullptr;
  toolkit::Control* finishLabel_ = nullptr;  // the finished page's title
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
  std::unique_ptr<CAnima> anima_;  // made by the first StartCarousel
  int currentFrame_ = 1;           // the carousel picture shown, 1-based
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
  bool addTrackingQuery_ = true;
  int autoAnsweredKind_ = -1;
  uint64_t windowStartTick_ = 0;
  // Install path: empty until IsCorrectInstallPath passed, then fixed.
  std::wstring installPath_;
  EnumMsgType closeConfirmKind_ = kMsgCancel;
  bool bannerDelivered_ = false;
  // The lower panel's tabs and whether their controls opened them.
  static constexpr int kLicenseTab = 0, kSettingsTab = 1;
  bool settingsPanelOpen_ = false, licensePanelOpen_ = false;
  bool startTimeReported_ = false;  // the window lives as long as the process
  bool started_ = false;            // the product is being started

  // ---- read once by InitWindow, before any worker starts; then constant ----
  std::map<std::wstring, std::wstring> entries_;
  // The bar's value, kept by the window itself: without a bar control in a
  // skin it still runs to 100, so that the worker waiting for it goes on.
  int progressValue_ = 0;

  // ---- shared with the workers ----
  std::atomic<EnumLanguage> currentLanguage_{English};
  InstallState state_;
  // A worker's progress: however often it calls, one message at a time is
  // posted, carrying the highest percentage asked for (-1: none).
  std::atomic<int> pendingProgress_{-1};
  std::atomic<bool> progressPosted_{false};
  std::unique_ptr<CConfigure> configure_;
  mutable std::mutex stateLock_;  // the package address and the product version
  std::wstring packageUrl_;
  std::wstring productVersion_;   // of the configuration, as last handed to analytics
  std::wstring workerInstallPath_;  // the install folder, frozen when the worker starts
  std::mutex tasksLock_;
  std::deque<std::function<void()>> tasks_;
  // Written by the banner thread, read on the UI thread after MSG_BANNER_READY.
  std::mutex bannerLock_;
  std::map<int, BannerRecord> banners_;  // by sort
  // In the order the shutdown waits for them.
  WorkerThread configThread_, privacyThread_, bannerThread_, installThread_;
};
