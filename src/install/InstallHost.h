// What the install worker needs of the window that started it. The worker
// never touches a control: it reads the values below, which the window keeps
// thread-safe, and everything it wants shown is posted to the UI thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "analytics/SingleUserLog.h"
#include "config/CConfigure.h"
#include "download/ManualResetEvent.h"
#include "system/EnumLanguage.h"

// The phases and times of one install, shared by the worker (which writes
// them) and the window's timers and closing path (which read them).
struct InstallState {
  std::atomic<bool> verificationDone{false};
  std::atomic<bool> installerFinished{false};
  // While the installer runs from the package, nothing may clear it.
  std::atomic<bool> installerRunning{false};
  // Set when the window closes for good: the attempts, the download watch and
  // the wait for the bar stop, so that the process can end.
  std::atomic<bool> closing{false};
  std::atomic<bool> retry{false};  // the user retried from the failure page
  std::atomic<uint64_t> installClickTick{0};
  std::atomic<uint64_t> md5CheckStartTick{0};
  std::atomic<uint64_t> installerStartTick{0};
  std::atomic<int64_t> packageSize{0};  // of the first progress notification
  // Set when the bar has reached 100; the worker waits for it before it
  // reports the install finished.
  ManualResetEvent progressFinished;
};

class InstallHost {
 public:
  virtual ~InstallHost() = default;

  virtual InstallState& State() = 0;
  virtual CConfigure& Configure() = 0;
  // An entry of the embedded product configuration (read once by the window;
  // safe from any thread). Empty when the configuration has none.
  virtual std::wstring Entry(const std::wstring& name) = 0;
  virtual EnumLanguage Language() = 0;
  // The resolved install folder, frozen before the worker starts.
  virtual std::wstring InstallPath() = 0;
  virtual void SetPackageUrl(const std::wstring& url) = 0;
  // Gives the language and the record's product version to analytics.
  virtual void HandOverToAnalytics() = 0;
  // The analytics front end and run state (per-run folders, background mode)
  // that the window reports through.
  virtual CSingleUserLog& Analytics() = 0;
  // Progress of the package download, on the worker's thread: the window
  // keeps the first total as the package size and moves its bar.
  virtual void DownloadProgress(int64_t downloaded, int64_t total) = 0;

  // ---- posted to the UI thread; they return at once ----
  virtual void Post(unsigned message, intptr_t wparam) = 0;
  virtual void StartCarouselTimer() = 0;
  virtual void StopCarouselTimer() = 0;
  // The installer has ended: the UI thread looks at the bar and sets
  // progressFinished at once when it stands at 99 or more.
  virtual void InstallerEnded() = 0;
  // The product is started as if the user had pressed "start_app".
  virtual void ClickStartApp() = 0;
  virtual void CloseWindow() = 0;
};
