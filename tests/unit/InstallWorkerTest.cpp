// The install worker with its download, alert posts, installer process and
// clock replaced: attempts and their reports, the address choice, the
// marker, names from the server that must not reach paths or switches
// unchecked, verification, the installer's time limit and start failure,
// completion, closing, and the language store.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Digest.h"
#include "FakeInstallHost.h"
#include "FakeSystem.h"
#include "LogCapture.h"
#include "TempFolder.h"
#include "download/CDownloader.h"
#include "download/DownLoadImpl.h"
#include "install/CdnFailureCounter.h"
#include "install/InstallFiles.h"
#include "install/InstallMessages.h"
#include "install/InstallWorker.h"
#include "signing/SignedFiles.h"
#include "install/InstallerLanguage.h"
#include "platform/PinnedFile.h"

namespace fs = std::filesystem;

namespace {

const fs::path kPackages = fs::path(SETUP_BIN_DIR) / "packages";

class ManualClock : public toolkit::Clock {
 public:
  uint64_t NowMs() const override { return now; }
  std::atomic<uint64_t> now{5000000};
};

// An installer that ends after `seconds` one-second waits with `exitCode`;
// each wait moves the clock.
class FakeInstaller : public platform::ChildProcess {
 public:
  FakeInstaller(ManualClock& clock, int seconds, uint32_t exitCode, int* waits)
      : clock_(clock), seconds_(seconds), exitCode_(exitCode), waits_(waits) {}
  bool Wait(uint32_t ms, uint32_t* exitCode) override {
    clock_.now += ms;
    if (++*waits_ < seconds_) return false;
    *exitCode = exitCode_;
    return true;
  }

 private:
  ManualClock& clock_;
  int seconds_;
  uint32_t exitCode_;
  int* waits_;
};

class InstallWorkerTest : public ::testing::Test {
 protected:
  InstallWorkerTest() {
    fake_.UseMemoryRegistry();
    fake_.SetModulePath((folder_.path() / "Setup.exe").wstring());
    fake_.SetEnv(L"APPDATA", (folder_.path() / "appdata").wstring());
    fake_.AddDrive(folder_.path().wstring() + L"/", 1ull << 40);
    fake_.SetLocalTime(platform::LocalTime{2026, 1, 2, 3, 4, 5, 0});
    Prepare(host_);
    deps_.clock = &clock_;
    deps_.download = [this](const std::wstring& url, const std::wstring& path, std::string&) {
      downloads_.push_back(url + L" -> " + path);
      const int result = results_.empty() ? DownloadOk : results_[downloads_.size() - 1];
      if (result == DownloadOk) fs::copy_file(package_, path, fs::copy_options::overwrite_existing);
      return result;
    };
    deps_.post = [this](const std::string& url, const std::string& body, std::string& response) {
      reports_.push_back(url + " " + body);
      response = "{}";
      return 0;
    };
    deps_.startProcess = [this](const platform::PinnedFile& program, const std::wstring& commandLine, uint32_t*) {
      started_.push_back(program.Path() + L"|" + commandLine);
      return std::make_unique<FakeInstaller>(clock_, installerSeconds_, installerExitCode_, &installerWaits_);
    };
    deps_.installerRunning = [](const std::wstring&) { return false; };
    deps_.alertUrl = "https://alert.test/api/exception/send";
  }
  // A window whose record names the signed package (MD5 of `package`).
  void Prepare(FakeInstallHost& host, const fs::path& package = kPackages / "quenlo_setup.exe") {
    host.analytics.SetupPaths(L"quenlo");
    host.installPath = (folder_.path() / "Program Files" / "Quenlo").wstring();
    CConfigure& record = host.record;
    record.productName = L"Quenlo";
    record.productVersion = L"1.0.0.0";
    record.downloadUrlList = {L"https://dl.example/setup.exe", L"https://www.example/setup.exe"};
    record.extraDownloadUrl = L"https://www.example/setup.exe";
    record.md5 = platform::AnsiToWide(md5Hex(signing::ReadBytes(package)));
    record.installTimeout = 240;
  }
  int Run() { return InstallWorker(host_, deps_).Run(); }
  fs::path DownloadFolder() const { return fs::path(host_.analytics.State().GetDownloadFolder()); }
  std::wstring PackagePath() const { return (DownloadFolder() / "setup_1.0.0.0.exe").wstring(); }

  TempFolder folder_;
  FakeSystem fake_;
  FakeSystemGuard guard_{fake_};
  FakeInstallHost host_{{{L"Extra_download_url", L"https://e.example/files/setup.exe"},
                         {L"Downloader_id", L"578"},
                         {L"NeedStart_flag", L"1"},
                         {L"product_url_japanese", L"https://www.example/ja/"}}};
  ManualClock clock_;
  InstallWorkerDeps deps_;
  fs::path package_ = kPackages / "quenlo_setup.exe";
  std::vector<int> results_;
  std::vector<std::wstring> downloads_;
  std::vector<std::string> reports_;
  std::vector<std::wstring> started_;
  int installerSeconds_ = 5;
  uint32_t installerExitCode_ = 0;
  int installerWaits_ = 0;
};

TEST_F(InstallWorkerTest, FailedAttemptsAreReportedAndRetriedOnTheSameFile) {
  LogCapture log;
  results_ = {GetLengthFailed, NetworkDown, TooManyRedirects, DownloadOk};
  host_.record.extraDownloadUrl = L"https://www.example/setup.apk";  // no install after the download

  EXPECT_EQ(Run(), 1);
  const std::wstring attempt = L"https://www.example/setup.exe -> " + PackagePath();
  EXPECT_EQ(downloads_, std::vector<std::wstring>(4, attempt));
  EXPECT_EQ(host_.CountEvent("Other/FlowError/DL012"), 1u);
  EXPECT_EQ(host_.CountEvent("Other/FlowError/DL010"), 1u);
  EXPECT_EQ(host_.CountEvent("Other/FlowError/DL022"), 1u);
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0], "https://alert.test/api/exception/send pid=578&type=2&exception_code=Url_Too_Many_Redirects"
                         "&other=,https%3A%2F%2Fwww.example%2Fsetup.exe");
  EXPECT_TRUE(log.Has("Success\xA3\xACThe Retry Frequency is: 3"));
  EXPECT_EQ(host_.PostedMessages(), std::vector<unsigned>{MSG_PACKAGE_READY});
  EXPECT_TRUE(log.Has(" isForbidCDN: 0"));
  EXPECT_TRUE(log.Has(" UrlUsed: https://www.example/setup.exe"));
  EXPECT_TRUE(started_.empty());
}

TEST_F(InstallWorkerTest, TwelveFailuresEndWithTheLastCode) {
  LogCapture log;
  results_ = std::vector<int>(12, NoSpeedTimeout);
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(downloads_.size(), 12u);
  EXPECT_EQ(host_.CountEvent("Other/FlowError/DL011"), 12u);
  EXPECT_EQ(host_.CountEvent("Other/DownErrorCode/error_10"), 1u);
  for (int frequency = 0; frequency <= 11; ++frequency)
    EXPECT_TRUE(log.Has(" The Retry Frequency is: " + std::to_string(frequency))) << frequency;
  EXPECT_EQ(log.Count(" The Retry Frequency is: "), 12u);
  EXPECT_EQ(host_.Posts(), (std::vector<std::pair<unsigned, intptr_t>>{{MSG_DOWNLOAD_FAILED, NoSpeedTimeout}}));
}

// A package that cannot be written (a full disk) fails the download at
// once with its own label: another attempt could not write either.
TEST_F(InstallWorkerTest, AWriteFailureEndsTheAttemptsAtOnce) {
  results_ = {NetworkDown, WriteFailed, DownloadOk};
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(downloads_.size(), 2u);
  EXPECT_EQ(host_.CountEvent("Other/FlowError/DL033"), 1u);
  EXPECT_EQ(host_.CountEvent("Other/DownErrorCode/error_17"), 1u);
  EXPECT_EQ(host_.Posts(), (std::vector<std::pair<unsigned, intptr_t>>{{MSG_DOWNLOAD_FAILED, WriteFailed}}));
}

TEST_F(InstallWorkerTest, NoUsableAddressFailsWithCode14) {
  LogCapture log;
  host_.record.downloadUrlList = {L"https://cdn.example/setup.exe", L"https://dl.example/setup.exe"};
  EXPECT_EQ(Run(), -1);
  EXPECT_TRUE(downloads_.empty());
  EXPECT_TRUE(log.Has("url is empty"));
  EXPECT_TRUE(log.Has(" checkRemotePath fail: -1"));
  EXPECT_EQ(host_.CountEvent("Other/FlowError/DL023"), 1u);
  EXPECT_EQ(host_.record.loadState, CConfigure::kNotLoaded);
  EXPECT_EQ(host_.Posts(), (std::vector<std::pair<unsigned, intptr_t>>{{MSG_DOWNLOAD_FAILED, 14}}));
}

// A package comes over HTTPS: a plain HTTP address is passed over, and one
// alone fails like no address, unless a test build's test environment asks
// for plain HTTP.
TEST_F(InstallWorkerTest, PackagesComeOverHttpsOnly) {
  LogCapture log;
  host_.record.extraDownloadUrl = L"https://www.example/setup.apk";  // no install after the download
  host_.record.downloadUrlList = {L"http://www.example/setup.exe", L"HTTPS://www.example/setup.exe"};
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(downloads_, std::vector<std::wstring>{L"HTTPS://www.example/setup.exe -> " + PackagePath()});
  EXPECT_TRUE(log.Has(" [Error]: not an HTTPS address, not used: http://www.example/setup.exe"));

  FakeInstallHost plain{{{L"Downloader_id", L"578"}}};
  Prepare(plain);
  plain.record.downloadUrlList = {L"http://www.example/setup.exe"};
  plain.record.extraDownloadUrl = L"https://www.example/setup.apk";
  downloads_.clear();
  EXPECT_EQ(InstallWorker(plain, deps_).Run(), -1);
  EXPECT_TRUE(downloads_.empty());
  EXPECT_EQ(plain.CountEvent("Other/FlowError/DL023"), 1u);

  std::ofstream(folder_.path() / "ov_downloader.cfg") << "[Settings]\nTestEnv=1\n";
  plain.record.loadState = CConfigure::kLoaded;
  EXPECT_EQ(InstallWorker(plain, deps_).Run(), 1);
  EXPECT_EQ(downloads_.size(), 1u);
}

TEST_F(InstallWorkerTest, ClosingStopsTheAttemptsWithoutAPost) {
  results_ = std::vector<int>(12, NoSpeedTimeout);
  const auto download = deps_.download;
  deps_.download = [&](const std::wstring& url, const std::wstring& path, std::string& cdn) {
    if (downloads_.size() == 1) host_.state.closing = true;
    return download(url, path, cdn);
  };
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(downloads_.size(), 2u);
  EXPECT_TRUE(host_.Posts().empty());
}

TEST_F(InstallWorkerTest, AVerifiedPackageIsInstalledAndHandedBack) {
  LogCapture log;
  host_.language = Japanese;
  host_.record.downloaderId = 118;
  fake_.SetModulePath((folder_.path() / "quenlo_setup.exe").wstring());
  fake_.SetRegValue(L"SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other", L"x", L"1");

  EXPECT_EQ(Run(), 0);
  const std::wstring sep(1, platform::kPathSep);
  ASSERT_EQ(started_.size(), 1u);
  EXPECT_EQ(started_[0], PackagePath() + L"| /VERYSILENT /SP- /NORESTART /DIR=\"" + host_.installPath +
                             L"\\\" /LANG=jp /LOG=\"" + host_.analytics.State().GetLogFolder() + sep +
                             L"Quenlo_Setup_20260102030405.log\" /EXTRA=\"quenlo_setup.exe\"");
  EXPECT_EQ(host_.PostedMessages(),
            (std::vector<unsigned>{MSG_VERIFY_STARTED, MSG_INSTALLER_STARTED, MSG_INSTALL_FINISHED}));
  EXPECT_EQ(host_.Actions().back(), "ClickStartApp");
  EXPECT_TRUE(host_.state.verificationDone);
  EXPECT_TRUE(host_.state.installerFinished);
  EXPECT_EQ(host_.CountEvent("Other/MInstallTime/5"), 1u);
  EXPECT_EQ(host_.CountEvent("Other/InstallerExitCode/0"), 1u);
  EXPECT_EQ(host_.CountEvent("Download/6.ProgramFinsh/First"), 1u);
  EXPECT_EQ(fake_.WebPages(), std::vector<std::wstring>{L"https://www.example/ja/"});
  EXPECT_EQ(fake_.RegValue(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{Quenlo}_is1",
                           L"Inno Setup: Language"),
            L"ja");
  // The package, its task file and its marker are gone.
  EXPECT_FALSE(fs::exists(PackagePath()));
  EXPECT_FALSE(fs::exists(PackagePath() + L".db"));
  EXPECT_TRUE(log.Has(" install Finished, nWaitSeconds: 4, exit code: 0"));
  EXPECT_TRUE(log.Has(" Installer exit code 0: the installation completed"));
}

// Past its time limit (install timeout + 2 waits) the installer is ours still:
// the window is told once that it takes longer, nothing may clear the
// package while it runs, and the wait goes on to its end.
TEST_F(InstallWorkerTest, AnInstallerPastItsTimeLimitIsWaitedForNeverGivenUp) {
  struct Host : FakeInstallHost {
    using FakeInstallHost::FakeInstallHost;
    void Post(unsigned message, intptr_t wparam) override {
      if (message == MSG_INSTALL_TIMEOUT) waitsAtNotice = *waits, runningAtNotice = state.installerRunning.load();
      FakeInstallHost::Post(message, wparam);
    }
    int* waits = nullptr;
    int waitsAtNotice = -1;
    bool runningAtNotice = false;
  } host{{{L"Extra_download_url", L"https://e.example/files/setup.exe"}, {L"NeedStart_flag", L"1"}}};
  Prepare(host);
  host.waits = &installerWaits_;
  installerSeconds_ = 400;
  EXPECT_EQ(InstallWorker(host, deps_).Run(), 0);
  EXPECT_EQ(installerWaits_, 400);
  EXPECT_EQ(host.waitsAtNotice, 242);
  EXPECT_TRUE(host.runningAtNotice);
  EXPECT_FALSE(host.state.installerRunning);
  EXPECT_EQ(host.CountEvent("Other/FlowError/DL016"), 1u);
  EXPECT_EQ(host.PostedMessages(), (std::vector<unsigned>{MSG_VERIFY_STARTED, MSG_INSTALLER_STARTED,
                                                          MSG_INSTALL_TIMEOUT, MSG_INSTALL_FINISHED}));
  EXPECT_EQ(host.Actions().back(), "ClickStartApp");

  // One wait less and nothing is said.
  installerWaits_ = 0;
  installerSeconds_ = 242;
  FakeInstallHost again{{{L"Extra_download_url", L"https://e.example/files/setup.exe"}}};
  Prepare(again);
  EXPECT_EQ(InstallWorker(again, deps_).Run(), 0);
  EXPECT_EQ(again.CountEvent("Other/MInstallTime/242"), 1u);
  EXPECT_EQ(again.CountEvent("Other/FlowError/DL016"), 0u);
  EXPECT_EQ(again.PostedMessages().back(), MSG_INSTALL_FINISHED);
}

// An exit code other than 0, or an installer that cannot start, is a failed
// install: its own label, an alert report and the failure page, and none of
// the success steps (no "6.ProgramFinsh", no language value, no product
// start). A package that ran stays for a retry; one the system refused to
// run is cleared, so that a retry downloads it afresh.
TEST_F(InstallWorkerTest, AFailedInstallerIsNoSuccess) {
  fake_.SetRegValue(L"SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other", L"x", L"1");
  struct Case {
    uint32_t exitCode;
    bool starts;
    std::string label, exception, meaning;
  };
  const Case cases[] = {{1, true, "DL033", "Installer_Exit_Code_1", "Setup failed to initialise"},
                        {3, true, "DL033", "Installer_Exit_Code_3", "a fatal error occurred while Setup moved"},
                        {5, true, "DL033", "Installer_Exit_Code_5", "the installation was cancelled or aborted"},
                        {0, false, "DL032", "Installer_Start_Fail_193", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.exception);
    LogCapture log;
    reports_.clear();
    installerWaits_ = 0;
    installerExitCode_ = c.exitCode;
    const auto start = deps_.startProcess;
    if (!c.starts)
      deps_.startProcess = [](const platform::PinnedFile&, const std::wstring&, uint32_t* error) {
        *error = 193;
        return std::unique_ptr<platform::ChildProcess>();
      };
    FakeInstallHost host{{{L"Extra_download_url", L"https://e.example/files/setup.exe"},
                          {L"Downloader_id", L"578"},
                          {L"NeedStart_flag", L"1"}}};
    Prepare(host);
    EXPECT_EQ(InstallWorker(host, deps_).Run(), -1);
    deps_.startProcess = start;
    EXPECT_EQ(host.CountEvent("Other/FlowError/" + c.label), 1u);
    EXPECT_EQ(host.PostedMessages(),
              c.starts ? (std::vector<unsigned>{MSG_VERIFY_STARTED, MSG_INSTALLER_STARTED, MSG_INSTALL_FAILED})
                       : (std::vector<unsigned>{MSG_VERIFY_STARTED, MSG_INSTALL_FAILED}));
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_NE(reports_[0].find("pid=578&type=2&exception_code=" + c.exception + "&other="), std::string::npos)
        << reports_[0];
    EXPECT_EQ(host.CountEvent("Download/6.ProgramFinsh/First"), 0u);
    EXPECT_EQ(fake_.RegValue(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{Quenlo}_is1",
                             L"Inno Setup: Language"),
              L"");
    for (const std::string& action : host.Actions()) EXPECT_NE(action, "ClickStartApp");
    EXPECT_FALSE(host.state.installerRunning);
    EXPECT_EQ(fs::exists(PackagePath()), c.starts);
    if (c.starts) EXPECT_TRUE(log.Contains(" Installer exit code " + std::to_string(c.exitCode) + ": " + c.meaning));
    else EXPECT_TRUE(log.Contains("the installer cannot start, error 193"));
  }
}

// The window closed: while the bar makes its final run (closing sets the
// bar's event as it releases the worker), or with the bar never moving.
// Either way nothing more is posted, cleared, restarted or started.
TEST_F(InstallWorkerTest, ClosingDuringTheFinalRunStopsTheCompletion) {
  struct ClosingHost : FakeInstallHost {
    using FakeInstallHost::FakeInstallHost;
    void InstallerEnded() override {
      state.closing = true;
      if (releases) state.progressFinished.Set();
    }
    bool releases = true;
  };
  for (const bool releases : {true, false}) {
    SCOPED_TRACE(releases);
    ClosingHost host{{{L"Extra_download_url", L"https://e.example/files/setup.exe"}, {L"NeedStart_flag", L"1"}}};
    host.releases = releases;
    Prepare(host);
    installerWaits_ = 0;
    EXPECT_EQ(InstallWorker(host, deps_).Run(), -1);
    EXPECT_EQ(host.PostedMessages(), (std::vector<unsigned>{MSG_VERIFY_STARTED, MSG_INSTALLER_STARTED}));
    for (const std::string& action : host.Actions()) {
      EXPECT_NE(action, "ClickStartApp");
      EXPECT_NE(action, "CloseWindow");
    }
    EXPECT_TRUE(fs::exists(PackagePath()));
  }
}

// An installer of ours still running from the package (a previous run's,
// whose window closed while it ran) is waited for before the package is
// touched; closing ends that wait.
TEST_F(InstallWorkerTest, AnInstallerStillRunningFromThePackageIsWaitedForNeverKilled) {
  LogCapture log;
  int asked = 0;
  deps_.installerRunning = [&](const std::wstring& package) {
    EXPECT_EQ(package, PackagePath());
    EXPECT_TRUE(downloads_.empty());
    return ++asked < 3;
  };
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(log.Count(" The installer still runs from " + platform::WideToAnsi(PackagePath()) +
                      ": waiting for it to end"),
            1u);

  deps_.installerRunning = [&](const std::wstring&) {
    host_.state.closing = true;
    return true;
  };
  downloads_.clear();
  EXPECT_EQ(Run(), -1);
  EXPECT_TRUE(downloads_.empty());
}

// An answer whose only addresses are CDN addresses gives "url is empty";
// the retry takes the embedded configuration, not the same answer again.
TEST_F(InstallWorkerTest, ARetryAfterAnEmptyAddressTakesTheEmbeddedConfiguration) {
  FakeInstallHost host{{{L"Extra_download_url", L"https://e.example/files/setup.exe"},
                        {L"Download_url", L"https://www.example/embedded/setup.exe"},
                        {L"Software_name", L"Quenlo"},
                        {L"Software_version", L"1.0.0.0"},
                        {L"InstallTimeout", L"240"}}};
  Prepare(host);
  host.record.loadState = CConfigure::kNotLoaded;
  ASSERT_TRUE(host.record.storeAnswer(
      "<Downloader><Download_url>https://cdn.example/setup.exe</Download_url>"
      "<Extra_download_url>https://dl.example/setup.exe</Extra_download_url></Downloader>"));
  EXPECT_EQ(InstallWorker(host, deps_).Run(), -1);
  EXPECT_EQ(host.CountEvent("Other/FlowError/DL023"), 1u);
  EXPECT_TRUE(downloads_.empty());

  host.state.retry = true;
  EXPECT_EQ(InstallWorker(host, deps_).Run(), 0);
  EXPECT_EQ(host.record.source, CConfigure::kFromFile);
  ASSERT_EQ(downloads_.size(), 1u);
  EXPECT_EQ(downloads_[0].substr(0, downloads_[0].find(L" -> ")), L"https://www.example/embedded/setup.exe");
  EXPECT_EQ(host.CountEvent("Other/FlowError/DL023"), 1u);
}

TEST_F(InstallWorkerTest, TamperedOrUnsignedPackagesAreNeverRun) {
  const fs::path tampered = folder_.path() / "tampered.exe";
  std::string bytes = signing::ReadBytes(package_);
  bytes[bytes.size() / 2] ^= 0x20;
  signing::WriteBytes(tampered, bytes);
  for (const fs::path& package : {tampered, fs::path(SETUP_BIN_DIR) / "standin"}) {
    SCOPED_TRACE(package.string());
    if (!fs::exists(package)) continue;  // the unsigned program exists beside the tests on posix
    package_ = package;
    reports_.clear();
    FakeInstallHost host{{{L"Extra_download_url", L"https://e.example/files/setup.exe"}, {L"Downloader_id", L"578"}}};
    Prepare(host, package);  // the MD5 matches: only the signature fails
    EXPECT_EQ(InstallWorker(host, deps_).Run(), -1);
    EXPECT_EQ(host.CountEvent("Other/FlowError/DL014"), 1u);
    EXPECT_EQ(host.PostedMessages(), (std::vector<unsigned>{MSG_VERIFY_STARTED, MSG_SIGNATURE_INVALID}));
    EXPECT_TRUE(host.state.verificationDone);
    ASSERT_EQ(reports_.size(), 1u);
    EXPECT_NE(reports_[0].find("pid=578&type=2&exception_code=Hash_Check_Fail_Cfg1&other="), std::string::npos);
  }
  EXPECT_TRUE(started_.empty());
}

// The answer's SHA-256 is enforced: a package that differs is refused even
// with a valid signature and the right MD5 (DL013, the failure box, no
// installer run); the right one installs.
TEST_F(InstallWorkerTest, APackageWhoseSha256DiffersIsRefused) {
  LogCapture log;
  host_.record.sha256 = std::wstring(64, L'0');
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(host_.CountEvent("Other/FlowError/DL013"), 1u);
  EXPECT_EQ(host_.PostedMessages(), (std::vector<unsigned>{MSG_VERIFY_STARTED, MSG_SIGNATURE_INVALID}));
  EXPECT_TRUE(started_.empty());
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_NE(reports_[0].find("exception_code=MD5_Check_Fail_Cfg"), std::string::npos) << reports_[0];
  EXPECT_TRUE(log.Contains("SHA-256 is not the one of the configuration"));

  FakeInstallHost again{{{L"Extra_download_url", L"https://e.example/files/setup.exe"}}};
  Prepare(again);
  again.record.sha256 = platform::AnsiToWide(sha256Hex(signing::ReadBytes(package_)));
  EXPECT_EQ(InstallWorker(again, deps_).Run(), 0);
  EXPECT_EQ(again.CountEvent("Other/FlowError/DL013"), 0u);
  EXPECT_EQ(started_.size(), 1u);
}

TEST_F(InstallWorkerTest, ServerNamesStayInsideTheirFoldersAndSwitches) {
  // Files an unchecked version would name outside the download folder.
  const fs::path outside = DownloadFolder().parent_path();
  for (const char* name : {"x.exe", "x.exe.xml", "x.exe.db"}) std::ofstream(outside / name) << "keep";
  host_.record.source = CConfigure::kFromFile;  // clears the package files before downloading
  host_.record.productName = L"Quenlo \"PDF\" /X:";
  // Fullwidth look-alikes of backslash, slash and dot would become those
  // characters in the narrow path of a best-fit conversion.
  for (const wchar_t* version : {L"1.0\\..\\..\\x", L"1.0/../../x", L"1.0\uFF3C..\uFF3C..\uFF0Fx",
                                 L"1.0\uFF0E\uFF0E\uFF0F\uFF0E\uFF0E\uFF0Fx"}) {
    SCOPED_TRACE(platform::WideToUtf8(version));
    host_.record.productVersion = version;
    downloads_.clear();
    started_.clear();
    EXPECT_EQ(Run(), 0);
    ASSERT_EQ(downloads_.size(), 1u);
    EXPECT_EQ(downloads_[0], L"https://www.example/setup.exe -> " + (DownloadFolder() / "setup_1.0x.exe").wstring());
    for (const char* name : {"x.exe", "x.exe.xml", "x.exe.db"}) EXPECT_TRUE(fs::exists(outside / name)) << name;
    ASSERT_EQ(started_.size(), 1u);
    const std::wstring& line = started_[0];
    EXPECT_NE(line.find(L"\" /LANG=en /LOG=\""), std::wstring::npos) << platform::WideToUtf8(line);
    EXPECT_NE(line.find(platform::kPathSep + std::wstring(L"Quenlo PDF X_Setup_20260102030405.log\" /EXTRA=\"null\"")),
              std::wstring::npos)
        << platform::WideToUtf8(line);
    EXPECT_EQ(std::count(line.begin(), line.end(), L'"'), 6);
  }
  // A browser's second copy of the program: its name stays one quoted value.
  fake_.SetModulePath((folder_.path() / "Setup_123 (1).exe").wstring());
  started_.clear();
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(started_.size(), 1u);
  EXPECT_EQ(started_[0].substr(started_[0].find(L" /EXTRA=")), L" /EXTRA=\"Setup_123 (1).exe\"");
  // Names that need cleaning never name a registry key.
  StoreInstallerLanguage(German, 578, host_.record.productName);
  CdnFailureCounter::Increment(host_.record.productName);
  EXPECT_EQ(fake_.RegValueCount(), 0u);
}

TEST(InstallFiles, TheMarkerKeepsOnlyAPackageOfTheSameVersionAndMd5) {
  TempFolder folder;
  const PackageFiles files(folder.path().wstring(), L"setup_1.0.0.0.exe");
  const std::wstring md5 = L"00112233445566778899aabbccddeeff";
  auto prepare = [&](const char* marker) {
    for (const std::wstring& path : {files.package, files.taskFile}) std::ofstream(fs::path(path)) << "x";
    if (marker) std::ofstream(fs::path(files.marker)) << marker;
  };
  auto kept = [&] { return fs::exists(files.package) && fs::exists(files.taskFile); };

  prepare("1.0.0.0###00112233445566778899AABBCCDDEEFF");  // upper-case digits are lowered
  DiscardStalePackage(files, L"1.0.0.0", md5, L"", L"");
  EXPECT_TRUE(kept());
  EXPECT_FALSE(fs::exists(files.marker));

  prepare("1.0.0.0###ffffffffffffffffffffffffffffffff");  // the extra MD5 counts too
  DiscardStalePackage(files, L"1.0.0.0", md5, L"ffffffffffffffffffffffffffffffff", L"");
  EXPECT_TRUE(kept());

  prepare("0.9.0.0###00112233445566778899aabbccddeeff");
  DiscardStalePackage(files, L"1.0.0.0", md5, L"", L"");
  EXPECT_FALSE(fs::exists(files.package));
  EXPECT_FALSE(fs::exists(files.taskFile));
  EXPECT_FALSE(fs::exists(files.marker));

  prepare(nullptr);  // an interrupted download resumes
  DiscardStalePackage(files, L"1.0.0.0", md5, L"", L"");
  EXPECT_TRUE(kept());
}

// The answer's SHA-256 and the one the marker recorded must agree; a marker
// without one (an older installer's) and an answer without one keep the
// MD5's verdict.
TEST(InstallFiles, TheMarkersSha256MustAgreeWithTheAnswers) {
  TempFolder folder;
  const PackageFiles files(folder.path().wstring(), L"setup_1.0.0.0.exe");
  const std::wstring md5 = L"00112233445566778899aabbccddeeff";
  const std::string sha256(64, 'a');
  const std::wstring wideSha256(64, L'a'), otherSha256(64, L'b');
  auto keptAfter = [&](const std::string& marker, const std::wstring& answerSha256) {
    for (const std::wstring& path : {files.package, files.taskFile}) std::ofstream(fs::path(path)) << "x";
    std::ofstream(fs::path(files.marker)) << marker;
    DiscardStalePackage(files, L"1.0.0.0", md5, L"", answerSha256);
    return fs::exists(files.package) && fs::exists(files.taskFile);
  };
  const std::string md5Line = "1.0.0.0###00112233445566778899aabbccddeeff";

  EXPECT_TRUE(keptAfter(md5Line + "\n" + sha256, wideSha256));
  EXPECT_TRUE(keptAfter(md5Line + "\r\nAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\r\n", wideSha256));
  EXPECT_FALSE(keptAfter(md5Line + "\n" + sha256, otherSha256));
  EXPECT_TRUE(keptAfter(md5Line, wideSha256));
  EXPECT_TRUE(keptAfter(md5Line + "\n" + sha256, L""));
  EXPECT_FALSE(keptAfter("1.0.0.0###ffffffffffffffffffffffffffffffff\n" + sha256, wideSha256));  // the MD5 still counts
}

TEST(InstallFiles, NamesAndThePackageFileName) {
  EXPECT_EQ(PackageFileName(L"https://x.example/a/setup.exe", L"1.0.0.0"), L"setup_1.0.0.0.exe");
  EXPECT_EQ(PackageFileName(L"https://x.example/a/app.release.apk", L"2"), L"app.release_2.apk");
  EXPECT_EQ(PackageFileName(L"https://x.example/a/setup.exe", L"null"), L"setup_null.exe");
  EXPECT_EQ(SafeFileName(L" ..\\..\\Windows\\a?b*c<d>e|f\x01. "), L"Windowsabcdef");
  EXPECT_EQ(SafeFileName(L" . "), L"");
  EXPECT_TRUE(IsSafeKeyName(L"Quenlo PDF Editor"));
  EXPECT_FALSE(IsSafeKeyName(L"Quenlo\\..\\Run"));
  EXPECT_FALSE(IsSafeKeyName(L""));
}

TEST(InstallerLanguage, CodesAndTheirStores) {
  for (int32_t id = 110; id <= 130; ++id)
    EXPECT_EQ(InstallerLanguageCode(Japanese, id), id >= 117 && id <= 125 && id != 121 ? L"jp" : L"ja") << id;
  EXPECT_EQ(InstallerLanguageCode(ChineseTrad, 118), L"zhtw");
  EXPECT_EQ(InstallerLanguageCode(Vietnamese, 578), L"vi");
  EXPECT_EQ(InstallerLanguageCode(static_cast<EnumLanguage>(21), 578), L"en");

  FakeSystem fake;
  FakeSystemGuard guard(fake);
  fake.UseMemoryRegistry();
  StoreInstallerLanguage(Chinese, 104, L"Quenlo");
  EXPECT_EQ(fake.UserRegValue(L"Software\\Lumetta\\Clipwright", L"kCurrentLanguage"), L"Chinese");
  StoreInstallerLanguage(Japanese, 114, L"Quenlo");
  EXPECT_EQ(fake.UserRegValue(L"Software\\Orvane\\Geomira", L"Lang"), L"ja_JP");
  StoreInstallerLanguage(Arabic, 115, L"Quenlo");
  EXPECT_EQ(fake.UserRegValue(L"Software\\Orvane\\Geomira", L"Lang"), L"en_US");
  EXPECT_EQ(fake.RegValueCount(), 0u);

  StoreInstallerLanguage(Japanese, 118, L"Quenlo");  // no uninstall key opens: nothing
  EXPECT_EQ(fake.RegValueCount(), 0u);
  fake.SetRegValue(L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\X", L"v", L"1");
  StoreInstallerLanguage(Japanese, 118, L"Quenlo");
  EXPECT_EQ(fake.RegValue(L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{Quenlo}_is1",
                          L"Inno Setup: Language"),
            L"ja");
}

TEST(CdnFailureCounter, CountsUpToTheBlockAndNeverOverflows) {
  FakeSystem fake;
  FakeSystemGuard guard(fake);
  fake.UseMemoryRegistry();
  const std::wstring key = L"SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quenlo";
  std::wstring text;
  EXPECT_FALSE(CdnFailureCounter::Read(L"Quenlo", &text));
  for (int i = 1; i <= 4; ++i) {
    EXPECT_FALSE(CdnFailureCounter::IsForbidCDN(L"Quenlo")) << i;
    CdnFailureCounter::Increment(L"Quenlo");
    EXPECT_EQ(fake.RegValue(key, L"RequestTooMuchTimes"), std::to_wstring(i));
  }
  EXPECT_TRUE(CdnFailureCounter::IsForbidCDN(L"Quenlo"));
  fake.SetRegValue(key, L"RequestTooMuchTimes", L"-5");
  CdnFailureCounter::Increment(L"Quenlo");
  EXPECT_EQ(fake.RegValue(key, L"RequestTooMuchTimes"), L"1");
  for (const wchar_t* huge : {L"2147483647", L"99999999999999999999999"}) {
    fake.SetRegValue(key, L"RequestTooMuchTimes", huge);
    CdnFailureCounter::Increment(L"Quenlo");
    EXPECT_EQ(fake.RegValue(key, L"RequestTooMuchTimes"), std::to_wstring(INT_MAX));
  }
}

}  // namespace
