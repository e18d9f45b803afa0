#include "startup/wWndMain.h"

#include <curl/curl.h>
#include <easylogging++.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>

#include "startup/CommandLineMode.h"
#include "system/InstanceMutex.h"
#include "settings/LocalSettings.h"
#include "startup/RunLog.h"
#include "startup/SetupApplication.h"
#include "startup/UnattendedClose.h"
#include "analytics/SingleUserLog.h"
#include "startup/StartupConfig.h"
#include "platform/CrashHandler.h"
#include "platform/HeldProgram.h"
#include "platform/Platform.h"
#include "system/FuntionImpl.h"
#include "toolkit/MessageLoop.h"
#include "toolkit/PlatformBackend.h"
#include "toolkit/ResourceArchive.h"
#include "toolkit/SteadyClock.h"
#include "upload/CLogUpload.h"
#include "window/InstallUIMainWnd.h"
#include "window/MessageBoxWnd.h"

const wchar_t kTestHoldFileVariable[] = L"SETUP_TEST_HOLD_FILE";

namespace {

std::mutex g_classNameLock;
std::wstring g_mainWindowClassName;

void SetMainWindowClassName(const std::wstring& name) {
  std::lock_guard<std::mutex> guard(g_classNameLock);
  g_mainWindowClassName = name;
}

std::string Narrow(const std::wstring& text) { return platform::WideToUtf8(text); }

// The skin archive of resource "ZIPRES" 138 becomes the toolkit's.
void InstallResourceArchive() {
  const void* data = nullptr;
  size_t size = 0;
  if (platform::LoadModuleResource(L"ZIPRES", 138, &data, &size) && size > 0)
    toolkit::ResourceArchive::Shared().Open(data, size);
}

// Without a usable URL the logging library keeps its defaults.
void SetUpRunLog(const StartupConfig& config) {
  const std::optional<std::wstring> stem = LogStemOfUrl(config.downloadUrl);
  if (!stem) return;
  CSingleUserLog& runState = CSingleUserLog::GetInstance();
  runState.SetupPaths(*stem);
  ConfigureRunLog(runState.State().GetLogFilePath());
  for (const std::string& note : runState.State().GetPathNotes()) LOG(INFO) << note;
}

// One file of the log folder goes to the log collection service; the result
// only shows in the log.
void RunUploadMode(const CommandLineMode& mode) {
  LOG(INFO) << " Upload mode: category " << mode.category << " file " << Narrow(mode.fileName);
  CLogUpload upload(CSingleUserLog::GetInstance().State().GetLogFolder(), LogUploadUrl());
  upload.Upload(mode.fileName, mode.category);
}

// A crash of this run leaves its crash file beside the log, named as the
// log without its extension. Without a log there is nowhere to put it.
void InstallCrashHandler() {
  const std::wstring logFile = CSingleUserLog::GetInstance().State().GetLogFilePath();
  if (!logFile.empty()) platform::InstallCrashHandler(logFile.substr(0, logFile.rfind(L'.')));
}

// False when another copy runs and AutoRun does not allow a
// second one.
bool GuardSingleInstance(const StartupConfig& config) {
  const bool autoRun = LocalSettings::IsAutoRun();
  if (!config.downloaderIdText.empty()) {
    const std::wstring className = L"OV_UI_Frame_" + config.downloaderIdText;
    SetMainWindowClassName(className);
    if (platform::FindVisibleInstance(className, !autoRun) && !autoRun) {
      LOG(INFO) << " Another installer window is open: " << Narrow(className);
      return false;
    }
  }
  uint32_t lastError = platform::kErrorSuccess;
  std::unique_ptr<platform::NamedMutex> mutex = platform::CreateOwnedMutex(
      L"Zel_Downloader_" + std::to_wstring(config.downloaderId), &lastError);
  if (lastError == platform::kErrorAlreadyExists && !autoRun) {
    LOG(INFO) << " Another installer holds Zel_Downloader_" << config.downloaderId;
    return false;
  }
  CInstanceMutex::GetInstance().Keep(std::move(mutex));
  return true;
}

// Starts the analytics front end and with it the reporting SDK (which ends a
// "-sendrestlogs" copy once its backlog is delivered).
void InitAnalytics(const StartupConfig& config) {
  LOG(INFO) << " Analytics init: downloader " << config.downloaderId << " site " << config.siteId
            << " version " << Narrow(config.softwareVersion) << " product "
            << Narrow(config.softwareName) << " url " << Narrow(config.downloadUrl)
            << " test build " << config.IsAnalyticsTestBuild() << " main pid " << config.mainPid;
  CSingleUserLog::GetInstance().InitUserLog(config.downloaderId, config.siteId, Narrow(config.softwareVersion),
                                            Narrow(config.softwareName), Narrow(config.downloadUrl),
                                            config.IsAnalyticsTestBuild(), config.mainPid);
}

// The copy that the reporting SDK starts to deliver its backlog runs beside
// the installer that started it, so the single-instance guard lets it pass.
bool SendsRestLogs(const std::wstring& commandLine) {
  return commandLine.find(L"-sendrestlogs") != std::wstring::npos;
}

// A 64-bit program runs on a 64-bit system by itself; a 32-bit one asks WOW64.
bool SystemIs64Bit() { return sizeof(void*) == 8 || platform::System().IsWow64(); }

// The toolkit's side of the run: the platform's window backend and the UI
// thread's message loop.
struct WindowSession {
  std::unique_ptr<toolkit::WindowBackend> backend = toolkit::CreatePlatformBackend();
  toolkit::SteadyClock clock;
  toolkit::MessageLoop loop{*backend, clock};
};

// Message box 13 without an owner, in the system's language. With nobody at
// the screen it cannot be answered, and the refusal ends without it.
void ShowRefusalBox() {
  WindowSession session;
  if (!session.backend->HasUser() && !LocalSettings::IsAutoRun()) {
    LOG(INFO) << " Nobody to answer message box 13";
    return;
  }
  MessageBoxWnd box(session.loop, kMsgNotSupportSystem, FuntionImpl::GetLanguageByLocalSystem(), L"");
  box.DoModal(0);
}

// The interactive run: the window session and the main window in it.
struct InteractiveRun {
  WindowSession session;
  std::unique_ptr<InstallUIMainWnd> window;
};

// Shows the main window centred and runs the message loop until it quits.
// False when the window cannot be made.
bool RunMainWindow(InteractiveRun& run) {
  InstallUIMainWnd::Context context;
  context.className = MainWindowClassName();
  run.window = std::make_unique<InstallUIMainWnd>(run.session.loop, context);
  if (!run.window->CreateMainWindow()) {
    LOG(INFO) << " [Error]: the main window could not be created";
    return false;
  }
  run.window->Center();
  run.window->Show(true);
  platform::AdvertiseInstance(run.window->WindowClassName());
  UnattendedClose closer(*run.window);
  run.session.loop.Run();
  // The window goes with its loop: a copy started while this one waits for
  // its threads must not find it, nor show it hidden and dead.
  run.window->Destroy();
  platform::WithdrawInstance(run.window->WindowClassName());
  return true;
}

// Each waiter in turn, then the mutex, then the libraries: a new copy may
// start only once this one's install has stopped. When a worker outlives its
// wait, the window and its loop stay alive until the process ends, since the
// worker may still reach them, and the process ends without destructors.
void ShutDown(std::unique_ptr<InteractiveRun> run, SetupApplication& app) {
  LOG(INFO) << " Wait exit 1";
  if (!run->window->WaitForAllThreadExit()) {
    (void)run.release();
    app.NoteWorkerOutlived();
  }
  CInstanceMutex::GetInstance().ReleaseForStartup();
  LOG(INFO) << " Wait exit 2";
  CSingleUserLog::GetInstance().WaitThreadForExit();
  LOG(INFO) << " Wait exit 3";
  curl_global_cleanup();
  platform::ComUninitialize();
}

// The firewall entry of this run's program lives as long as the run: a
// permanent rule for a file in the Downloads folder would let through
// whatever is put there later. An entry for the same path that a crashed
// run left goes first.
class FirewallEntry {
 public:
  FirewallEntry() : image_(platform::System().ModulePath()) {
    platform::WindowsFirewallRevoke(image_.c_str());
    platform::WindowsFirewallAuthorize(image_.c_str());
  }
  ~FirewallEntry() { platform::WindowsFirewallRevoke(image_.c_str()); }
  FirewallEntry(const FirewallEntry&) = delete;
  FirewallEntry& operator=(const FirewallEntry&) = delete;

 private:
  std::wstring image_;
};

// The start-up steps in their fixed order; every early end returns 0.
int RunStartup(const std::wstring& commandLine, SetupApplication& app) {
  // First of all: every copy of itself the program starts comes from this file.
  const bool programHeld = platform::HoldOwnProgram();
  InstallResourceArchive();                                                    // 1
  const StartupConfig config =                                                 // 2
      LoadStartupConfig(toolkit::ResourceArchive::Shared());
  curl_global_init(CURL_GLOBAL_ALL);                                           // 3
  SetUpRunLog(config);                                                         // 4
  LOG(INFO) << " Setup " << SETUP_VERSION_TEXT << " started, command line \"" << Narrow(commandLine)
            << "\", download folder " << Narrow(CSingleUserLog::GetInstance().State().GetDownloadFolder());
  if (!programHeld) LOG(INFO) << " [Warning]: the program file cannot be held; no copy of it will be started";

  const CommandLineMode mode = ParseCommandLine(commandLine);                  // 5
  if (mode.kind != CommandLineMode::kInteractive) {
    RunUploadMode(mode);
    return 0;
  }
  InstallCrashHandler();
  if (!SendsRestLogs(commandLine) && !GuardSingleInstance(config)) return 0;   // 6, 7
  InitAnalytics(config);                                                       // 8
  app.AttachAnalytics(CSingleUserLog::GetInstance());
  if (config.Refuses32BitSystem(SystemIs64Bit())) {                           // 9
    CSingleUserLog::GetInstance().AddUserLogEvent("Other", "32bitStartupForbided", "", true);
    LOG(INFO) << " [Error]: 32-bit system forbidden (message box 13)";
    ShowRefusalBox();
    return 0;
  }
  if (!platform::ComInitialize()) {                                            // 10
    LOG(INFO) << " [Error]: CoInitialize failed";
    return 0;
  }
  const FirewallEntry firewall;                                                // 11
  auto run = std::make_unique<InteractiveRun>();                               // 12
  if (!RunMainWindow(*run)) return 0;
  ShutDown(std::move(run), app);                                               // 13
  return 0;
}

}  // namespace

std::wstring MainWindowClassName() {
  std::lock_guard<std::mutex> guard(g_classNameLock);
  return g_mainWindowClassName;
}

int RunSetup(const std::wstring& commandLine) {
  SetupApplication app;
  const int result = RunStartup(commandLine, app);
  const std::wstring logFile = CSingleUserLog::GetInstance().State().GetLogFilePath();
  if (!logFile.empty()) {
    std::printf("Setup log: %s\n", platform::WideToAnsi(logFile).c_str());
    std::fflush(stdout);
  }
  return app.End(result);
}
