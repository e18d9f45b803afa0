// The second half of the install worker: verification of the package, the
// silent installer run within its time limit, and the completed install.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "base/ScrambledText.h"
#include "download/DownLoadImpl.h"
#include "install/InstallMessages.h"
#include "install/InstallWorker.h"
#include "install/InstallerExitCode.h"
#include "install/InstallerLanguage.h"
#include "platform/Platform.h"
#include "system/InstanceMutex.h"
#include "settings/LocalSettings.h"
#include "system/FuntionImpl.h"

#include <easylogging++.h>

namespace {

constexpr uint64_t kBarPollMs = 200;
constexpr auto kRestartPause = std::chrono::milliseconds(2000);

// Product page entries of the embedded configuration, by EnumLanguage.
const wchar_t* const kProductPages[kLanguageCount] = {
    L"product_url_english",    L"product_url_japanese",   L"product_url_chinesesimp", L"product_url_spanish",
    L"product_url_german",     L"product_url_french",     L"product_url_russian",     L"product_url_portuguese",
    L"product_url_arabic",     L"product_url_italiano",   L"product_url_chinesetrad", L"product_url_korean",
    L"product_url_nederlands", L"product_url_indonesian", L"product_url_turkish",     L"product_url_hindi",
    L"product_url_thai",       L"product_url_malay",      L"product_url_swedish",     L"product_url_czech",
    L"product_url_vietnamese"};

std::wstring FileNameOf(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

std::wstring WithoutQuotes(std::wstring text) {
  text.erase(std::remove(text.begin(), text.end(), L'"'), text.end());
  return text;
}

// "%s_Setup_%.4d%.2d%.2d%.2d%.2d%.2d.log" of the product name and the local time.
std::wstring InstallerLogName(const std::wstring& productName) {
  const platform::LocalTime t = platform::System().Now();
  wchar_t stamp[32];
  std::swprintf(stamp, sizeof stamp / sizeof stamp[0], L"_Setup_%.4d%.2d%.2d%.2d%.2d%.2d.log", t.year, t.month,
                t.day, t.hour, t.minute, t.second);
  return SafeFileName(productName) + stamp;
}

}  // namespace

int InstallWorker::InstallPackage() {
  if (Closing() || !Verify() || Closing()) return -1;
  return RunInstaller(CommandLine());
}

// False, with the failure posted, when the signature is not valid or the
// answer's SHA-256 differs. A failed MD5 with a valid signature is only
// reported. The package is held from here until its start, so the file
// hashed and verified is the file that runs.
bool InstallWorker::Verify() {
  InstallState& state = host_.State();
  state.md5CheckStartTick = Now();
  state.verificationDone = false;
  host_.Post(MSG_VERIFY_STARTED, 0);
  Event("Download", "Md5CheckStart", "");
  Funnel("Md5Check", 0, "Download", "CoreFuncStart");
  Funnel("Md5Check", 1, "Download", "Md5CheckStart");
  uint32_t error = 0;
  package_ = platform::OpenPinnedFile(files_.package, &error);
  if (!package_) LOG(INFO) << " [Error]: the package cannot be held for its checks, error " << error;
  // The embedded fallback carries no hash worth comparing.
  const int hashes = record_.source == CConfigure::kFromFile ? CDownLoadImpl::kHashesMatch
                     : package_ ? CDownLoadImpl::checkMD5(*package_, record_.md5, record_.md5Extra,
                                                          record_.productVersion, record_.sha256)
                                : CDownLoadImpl::kMd5Differs;
  LOG(INFO) << " after md5 ";
  const bool signaturePassed = package_ && FuntionImpl::VerifyEmbeddedSignature(*package_);
  ReportVerification(hashes == CDownLoadImpl::kHashesMatch, signaturePassed);
  state.verificationDone = true;
  if (hashes == CDownLoadImpl::kSha256Differs)
    LOG(INFO) << " [Error]: the package's SHA-256 is not the one of the configuration: the package is refused";
  if (!signaturePassed || hashes == CDownLoadImpl::kSha256Differs) {
    package_.reset();
    host_.Post(MSG_SIGNATURE_INVALID, 0);
    return false;
  }
  host_.StopCarouselTimer();
  Event("Download", SCRAMBLED_TEXT("4.PackageVerified"), FirstOrRetry());
  return true;
}

void InstallWorker::ReportVerification(bool md5Passed, bool signaturePassed) {
  const std::string seconds = std::to_string(SecondsSince(host_.State().md5CheckStartTick));
  Event("Other", "MMD5CheckTime", seconds);
  Funnel("Md5Check", 2, "Download", "Md5CheckFinsh");
  Event("Other", "MD5CheckTime", seconds);
  Funnel("Md5Check", 0, "Download", "CoreFuncEnd");
  FunnelPair("RunningTime", "VerificationDuration", "VerificationDurationPar", seconds);
  Event("Download", "Md5CheckFinsh", "");
  if (md5Passed && signaturePassed) return;
  const char* label = !signaturePassed ? (md5Passed ? "DL014" : "DL015") : "DL013";
  const char* check = !signaturePassed ? (md5Passed ? "Hash" : "MD5_Hash") : "MD5";
  Event("Other", "FlowError", label);
  SendErrorReport(2, EmbeddedDownloaderId(), std::string(check) + "_Check_Fail_Cfg" + std::to_string(record_.source));
}

// The switches of a silent Inno Setup run. The product name reaches the
// /LOG file name only through SafeFileName, and the program's own file name
// (a browser's copy may be "Setup_123 (1).exe") is quoted without any
// quotation mark of its own, so that no value ends early or splits into
// further switches.
std::wstring InstallWorker::CommandLine() {
  const std::wstring ownName = FileNameOf(platform::System().ModulePath());
  const std::wstring line =
      L" /VERYSILENT /SP- /NORESTART /DIR=\"" + host_.InstallPath() + L"\\\" /LANG=" +
      InstallerLanguageCode(host_.Language(), record_.downloaderId) + L" /LOG=\"" + analytics_.State().GetLogFolder() +
      platform::kPathSep + InstallerLogName(record_.productName) + L"\"" + SCRAMBLED_WTEXT(" /EXTRA=") + L"\"" +
      (ownName.find(L'_') != std::wstring::npos ? WithoutQuotes(ownName) : L"null") + L"\"";
  host_.State().installerStartTick = Now();
  LOG(INFO) << " [Download File Path]: " << platform::WideToAnsi(files_.package);
  LOG(INFO) << " [Start Install CmdLine]: " << platform::WideToAnsi(line);
  return line;
}

int InstallWorker::RunInstaller(const std::wstring& commandLine) {
  InstallState& state = host_.State();
  Event("Download", "5.ProgramInstall", FirstOrRetry());
  Funnel("Installing", 0, "Download", "CoreFuncStart");
  Funnel("Installing", 1, "Download", "ProgramInstall");
  uint32_t error = 0;
  const std::unique_ptr<platform::ChildProcess> installer = deps_.startProcess(*package_, commandLine, &error);
  package_.reset();
  if (!installer) {
    // A package the system refuses to run is a failed installer; it is
    // cleared, so that a retry downloads it afresh.
    LOG(INFO) << " [Error]: the installer cannot start, error " << error;
    ClearAPPData(files_);
    return InstallerFailed("DL032", "Installer_Start_Fail_" + std::to_string(error));
  }
  state.installerFinished = false;
  state.installerRunning = true;
  host_.Post(MSG_INSTALLER_STARTED, 0);
  uint32_t exitCode = 0;
  const int waits = WaitForInstaller(*installer, &exitCode);
  state.installerRunning = false;
  if (waits < 0) return -1;  // the window closed
  const std::string seconds = std::to_string(SecondsSince(state.installerStartTick));
  Event("Other", "MInstallTime", seconds);
  LOG(INFO) << " install Finished, nWaitSeconds: " << waits << ", exit code: " << exitCode;
  LOG(INFO) << " Installer exit code " << exitCode << ": " << InnoSetupExitMeaning(exitCode);
  Event("Other", "InstallerExitCode", std::to_string(exitCode));
  if (exitCode != 0) return InstallerFailed(kInstallerFailedLabel, "Installer_Exit_Code_" + std::to_string(exitCode));
  return Complete();
}

// The number of one-second waits that found the installer running, or -1
// when the window closes. Past the time limit (install timeout + 2 waits)
// the window says once that the installer takes longer, and the wait goes
// on: the installer is ours, and a retry must not meet it half done.
int InstallWorker::WaitForInstaller(platform::ChildProcess& installer, uint32_t* exitCode) {
  bool toldLonger = false;
  for (int waits = 0;; ++waits) {
    if (installer.Wait(kInstallerWaitMs, exitCode)) return waits;
    if (Closing()) return -1;
    if (!toldLonger && waits > record_.installTimeout) {
      ReportTakingLonger();
      toldLonger = true;
    }
  }
}

void InstallWorker::ReportTakingLonger() {
  Event("Other", "FlowError", "DL016");
  LOG(INFO) << " Cmd nWaitSeconds timed out: " << record_.installTimeout << "; the installer still runs, waiting on";
  host_.Post(MSG_INSTALL_TIMEOUT, 0);
}

// An installer that failed or could not start: none of the success steps,
// the failure page with its retry instead. The verified package stays, so
// that a retry runs it again without downloading it.
int InstallWorker::InstallerFailed(const char* label, const std::string& exceptionCode) {
  Event("Other", "FlowError", label);
  Funnel("Installing", 0, "Download", "CoreFuncEnd");
  SendErrorReport(3, EmbeddedDownloaderId(), exceptionCode);
  host_.Post(MSG_INSTALL_FAILED, 0);
  return -1;
}

int InstallWorker::Complete() {
  InstallState& state = host_.State();
  const std::string seconds = std::to_string(SecondsSince(state.installerStartTick));
  Funnel("Installing", 2, "Download", "ProgramFinsh");
  state.installerFinished = true;
  host_.InstallerEnded();
  Event("Download", "6.ProgramFinsh", FirstOrRetry(), true);
  Funnel("Installing", 0, "Download", "CoreFuncEnd");
  if (analytics_.State().IsBackgroundMode())
    FunnelPair("InstallationSuccessful", "ProgramInstallSuccess", "PSuccessbackend", "");
  Event("Other", "InstallTime", seconds);
  if (!record_.productVersion.empty()) Event("Other", "ProductVersion", platform::WideToAnsi(record_.productVersion));
  FunnelPair("RunningTime", "ActualTime", "InstCompletedClosed", seconds);
  OpenProductPage();
  StoreInstallerLanguage(host_.Language(), record_.downloaderId, record_.productName);
  if (!WaitForBar()) return -1;
  host_.Post(MSG_INSTALL_FINISHED, 0);
  char minutes[32];
  std::snprintf(minutes, sizeof minutes, "%.1f", static_cast<int64_t>((Now() - workerStart_) / 600) / 100.0);
  LOG(INFO) << " Install Totally Take " << minutes << " minutes And Send To Server";
  ClearAPPData(files_);
  if (LocalSettings::IsAutoRun()) RestartUnattended();
  if (std::atoi(platform::WideToAnsi(host_.Entry(L"NeedStart_flag")).c_str()) == 1) host_.ClickStartApp();
  return 0;
}

void InstallWorker::OpenProductPage() {
  const EnumLanguage language = host_.Language();
  if (language < 0 || language >= kLanguageCount) return;
  const std::wstring url = host_.Entry(kProductPages[language]);
  if (url.empty()) return;
  LOG(INFO) << " Open Url: " << platform::WideToAnsi(url);
  FuntionImpl::OpenWebLink(url);
}

// True once the bar has reached 100; false when the window closes first.
// Closing sets the event too, so the flag decides after the wait as well:
// a window closed during the final run gets no completion.
bool InstallWorker::WaitForBar() {
  while (!host_.State().progressFinished.Wait(kBarPollMs))
    if (Closing()) return false;
  return !Closing();
}

// An unattended run cleans up and starts a fresh copy of the installer.
void InstallWorker::RestartUnattended() {
  std::this_thread::sleep_for(kRestartPause);
  LOG(INFO) << " Force Exit 1";
  RemoveFileIfPresent(files_.package);
  LOG(INFO) << " Force Exit 2";
  RemoveFileIfPresent(files_.taskFile);
  LOG(INFO) << " Force Exit 3";
  RemoveFileIfPresent(files_.marker);
  LOG(INFO) << " Force Exit 4";
  CInstanceMutex::GetInstance().ReleaseForWorker();
  LOG(INFO) << " Force Exit 5";
  LOG(INFO) << " Force Exit 6";
  const bool started = platform::System().StartOwnCopy(L"", true);
  LOG(INFO) << " Force Exit 7 error code = " << started << ", " << 0;
  host_.CloseWindow();
  LOG(INFO) << " Force Exit 8";
}
