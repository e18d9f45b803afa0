// The install worker: one run on the window's worker thread that takes the
// download configuration, chooses the package address, downloads the
// package in up to twelve resumable attempts, verifies it, runs it as a
// silent installer within its time limit and hands the finished install
// back to the window. It never touches a control: everything it wants shown
// goes through the host (InstallHost.h).
//
// Files: InstallWorker.cpp (configuration, address, local files, download)
// and InstallWorkerRun.cpp (verification, installer run, completion).
//
// Closing: when the host's State().closing is set, the worker stops between
// attempts and phases, stops the running download attempt, stops waiting for
// the installer and for the bar, and returns without posting.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "install/InstallFiles.h"
#include "install/InstallHost.h"
#include "platform/PinnedFile.h"
#include "platform/Process.h"
#include "toolkit/Clock.h"

// What the worker calls outside itself; tests replace parts.
struct InstallWorkerDeps {
  const toolkit::Clock* clock = nullptr;  // nullptr: the steady clock
  // One download attempt (CDownLoadImpl::SuperDownloadFile of the package).
  std::function<int(const std::wstring& url, const std::wstring& path, std::string& cdnInfo)> download;
  // A form POST to the alert service (CLibcurlTool::HttpPost): its result.
  std::function<int(const std::string& url, const std::string& body, std::string& response)> post;
  // Starts the held installer (platform::StartChildProcess).
  std::function<std::unique_ptr<platform::ChildProcess>(const platform::PinnedFile& program,
                                                        const std::wstring& commandLine, uint32_t* lastError)>
      startProcess;
  std::string alertUrl;  // empty: AlertServiceUrl()
};

class InstallWorker {
 public:
  static constexpr int kAttempts = 12;
  static constexpr uint32_t kInstallerWaitMs = 1000;

  explicit InstallWorker(InstallHost& host, InstallWorkerDeps deps = {});
  // 1 after a package that is not an ".exe", -1 after a failure or when the
  // window closed, 0 after a completed install.
  int Run();

 private:
  // InstallWorker.cpp
  void CompleteConfiguration();
  bool ChooseSource();
  std::wstring CheckWin78Link(const std::wstring& url);
  void PrepareFiles();
  int Download();
  int DownloadAttempt(int attempt);
  void ReportDownloadTimes();
  int EndDownload(int result);
  void SendErrorReport(int reportNumber, int32_t pid, const std::string& exceptionCode);

  // InstallWorkerRun.cpp
  int InstallPackage();
  bool Verify();
  void ReportVerification(bool md5Passed, bool signaturePassed);
  std::wstring CommandLine();
  int RunInstaller(const std::wstring& commandLine);
  int WaitForInstaller(platform::ChildProcess& installer, uint32_t* exitCode);
  int Complete(uint32_t exitCode, int waits);
  void OpenProductPage();
  bool WaitForBar();
  void RestartUnattended();

  // Helpers of both.
  bool Closing() const { return host_.State().closing; }
  uint64_t Now() const { return clock_->NowMs(); }
  int SecondsSince(uint64_t start) const { return static_cast<int>((Now() - start) / 1000); }
  std::string FirstOrRetry() const { return host_.State().retry ? "Retry" : "First"; }
  void Event(const std::string& category, const std::string& action, const std::string& label,
             bool wait = false);
  void Funnel(const char* coreFunc, int step, const char* category, const char* action);
  void FunnelPair(const std::string& category, const std::string& action, const std::string& key,
                  const std::string& value);

  InstallHost& host_;
  InstallWorkerDeps deps_;
  const toolkit::Clock* clock_;
  CConfigure& record_;
  CSingleUserLog& analytics_;

  uint64_t workerStart_ = 0, downloadStart_ = 0;
  std::wstring packageUrl_;
  PackageFiles files_;
  // The package, held from its first hashed byte until its start returned.
  std::unique_ptr<platform::PinnedFile> package_;
  std::string addressLabel_;
};
