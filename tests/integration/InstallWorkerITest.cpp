// The install worker against the reference services on loopback, with the
// real download engine, signature check, alert reports and installer: the
// signed stand-in is fetched, verified and run, and installs the demo
// product; a package whose signature fails is reported to the alert service.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/Digest.h"
#include "download/CDownloader.h"
#include "download/DownLoadImpl.h"
#include "install/InstallMessages.h"
#include "install/InstallWorker.h"
#include "signing/SignedFiles.h"
#include "integration/RefServices.h"
#include "integration/ScopedEnv.h"
#include "integration/TestSettings.h"
#include "integration/Squid.h"
#include "integration/Tinyproxy.h"
#include "platform/posix/PosixRegistry.h"
#include "unit/FakeInstallHost.h"
#include "unit/TempFolder.h"

namespace fs = std::filesystem;

namespace {

const fs::path kPackages = fs::path(SETUP_BIN_DIR) / "packages";

platform::OsVersionInfo Windows(unsigned major, unsigned minor) {
  platform::OsVersionInfo os;
  os.ntNumbersKnown = os.versionExKnown = true;
  os.ntMajor = os.major = major;
  os.ntMinor = os.minor = minor;
  os.currentBuild = L"9600";
  return os;
}

class InstallWorkerITest : public ::testing::Test {
 protected:
  InstallWorkerITest() {
    fs::create_directories(folder_.path() / "answers");
    fs::create_directories(files_);
    settings_.Write("TestEnv=1\n");
    settings_.system().SetEnv(L"APPDATA", (folder_.path() / "appdata").wstring());
    settings_.system().AddDrive(folder_.path().wstring() + L"/", 1ull << 40);
  }
  ~InstallWorkerITest() override {
    settings_.system().UseRealDrives();
    settings_.system().UnsetEnv(L"APPDATA");
  }
  // The configuration server's answer names `package` (served from the
  // files folder) as both addresses, with its MD5 and `sha256Element`.
  void Serve(const std::string& package, const std::string& downloadName, const std::string& sha256Element = "") {
    fs::copy_file(kPackages / package, files_ / package);
    services_ = std::make_unique<RefServices>(RefServices::Options{folder_.path() / "answers", files_});
    std::ofstream(folder_.path() / "answers" / "578.xml")
        << "<Downloader><Software_name>Quenlo</Software_name><Software_version>1.0.0.0</Software_version>"
        << "<Download_url>" << services_->Url("/files/" + downloadName) << "</Download_url>"
        << "<Extra_download_url>" << services_->Url("/files/" + package) << "</Extra_download_url>"
        << "<Md5>" << md5Hex(signing::ReadBytes(kPackages / package)) << "</Md5>"
        << sha256Element
        << "<Process_name>Quenlo PDF Editor.exe</Process_name><InstallTimeout>60</InstallTimeout></Downloader>";
    NewHost(package);
  }
  // A host whose embedded configuration names `package` on the services.
  void NewHost(const std::string& package) {
    host_ = std::make_unique<FakeInstallHost>(FakeInstallHost::Entries{
        {L"Extra_download_url", L"https://e.example/files/quenlo_setup.exe"},
        {L"Download_url", platform::Utf8ToWide(services_->Url("/files/" + package))},
        {L"Downloader_id", L"578"}});
    host_->record.loadState = CConfigure::kNotLoaded;
    host_->record.source = CConfigure::kFromNothing;
    host_->record.setHosts({services_->host(), {services_->host()}});
    host_->analytics.SetupPaths(L"quenlo");
    host_->installPath = (folder_.path() / "Program Files" / "Quenlo").wstring();
    deps_.alertUrl = services_->Url("/api/exception/send");
  }
  // Spoils one byte of the served copy: neither its MD5 nor its signature holds.
  void Spoil(const std::string& package) {
    std::string bytes = signing::ReadBytes(files_ / package);
    bytes[bytes.size() / 2] ^= 0x20;
    signing::WriteBytes(files_ / package, bytes);
  }

  TempFolder folder_;
  TestSettings settings_{folder_.path()};
  fs::path files_ = folder_.path() / "files";
  std::unique_ptr<RefServices> services_;
  std::unique_ptr<FakeInstallHost> host_;
  InstallWorkerDeps deps_;
};

// On Windows 8.1 the server's "_hpwin.exe" address, which the download
// server does not have, gives way to the embedded one.
TEST_F(InstallWorkerITest, DownloadsVerifiesAndRunsTheSignedInstaller) {
  settings_.system().SetOsVersion(Windows(6, 3));
  const ScopedEnv seconds("STANDIN_SECONDS", "1");
  const ScopedEnv data("XDG_DATA_HOME", (folder_.path() / "data").string());
  Serve("quenlo_setup.exe", "quenlo_hpwin.exe");

  ASSERT_EQ(InstallWorker(*host_, deps_).Run(), 0);
  EXPECT_EQ(host_->PostedMessages(),
            (std::vector<unsigned>{MSG_VERIFY_STARTED, MSG_INSTALLER_STARTED, MSG_INSTALL_FINISHED}));
  EXPECT_EQ(host_->Actions()[1], "SetPackageUrl " + services_->Url("/files/quenlo_setup.exe"));
  EXPECT_EQ(host_->CountEvent("Other/InstallerExitCode/0"), 1u);
  const fs::path product = folder_.path() / "Program Files" / "Quenlo" / "Quenlo PDF Editor.exe";
  EXPECT_TRUE(fs::exists(product));
  EXPECT_EQ(ProductMainExePath(host_->record, host_->installPath), product.wstring());
  std::wstring language;
  EXPECT_TRUE(platform::posix::RegistryStore::Default().Read(
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{Quenlo}_is1", L"Inno Setup: Language", &language));
  EXPECT_EQ(language, L"en");
  EXPECT_TRUE(services_->AlertReports().empty());
  EXPECT_FALSE(fs::exists(fs::path(host_->analytics.State().GetDownloadFolder()) / "quenlo_setup_1.0.0.0.exe"));
}

// A SHA-256 in the answer is checked beside the MD5: a match installs
// without a report; a mismatch, even with a valid signature, is reported as
// a failed MD5 is and refuses the package.
TEST_F(InstallWorkerITest, TheAnswersSha256IsEnforced) {
  settings_.system().SetOsVersion(Windows(10, 0));
  const ScopedEnv seconds("STANDIN_SECONDS", "1");
  const ScopedEnv data("XDG_DATA_HOME", (folder_.path() / "data").string());
  const std::string sha256 = sha256Hex(signing::ReadBytes(kPackages / "quenlo_setup.exe"));
  Serve("quenlo_setup.exe", "quenlo_setup.exe", "<Sha256>" + sha256 + "</Sha256>");
  ASSERT_EQ(InstallWorker(*host_, deps_).Run(), 0);
  EXPECT_EQ(host_->record.sha256, platform::AnsiToWide(sha256));
  EXPECT_TRUE(services_->AlertReports().empty());

  fs::remove_all(files_);
  fs::create_directories(files_);
  Serve("quenlo_setup.exe", "quenlo_setup.exe", "<Sha256>" + std::string(64, '0') + "</Sha256>");
  ASSERT_EQ(InstallWorker(*host_, deps_).Run(), -1);
  EXPECT_EQ(host_->CountEvent("Other/FlowError/DL013"), 1u);
  EXPECT_EQ(host_->PostedMessages(), (std::vector<unsigned>{MSG_VERIFY_STARTED, MSG_SIGNATURE_INVALID}));
  EXPECT_EQ(host_->CountEvent("Download/5.ProgramInstall/First"), 0u);
  const Json::Value reports = services_->AlertReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0]["form"]["exception_code"].asString(), "MD5_Check_Fail_Cfg1");
}

TEST_F(InstallWorkerITest, AnInvalidSignatureIsReportedToTheAlertService) {
  settings_.system().SetOsVersion(Windows(10, 0));
  Serve("quenlo_setup.exe", "quenlo_setup.exe");
  Spoil("quenlo_setup.exe");

  EXPECT_EQ(InstallWorker(*host_, deps_).Run(), -1);
  EXPECT_EQ(host_->PostedMessages(), (std::vector<unsigned>{MSG_VERIFY_STARTED, MSG_SIGNATURE_INVALID}));
  const Json::Value reports = services_->AlertReports();
  ASSERT_EQ(reports.size(), 1u);
  const Json::Value& form = reports[0]["form"];
  EXPECT_EQ(form["pid"].asString(), "578");
  EXPECT_EQ(form["exception_code"].asString(), "MD5_Hash_Check_Fail_Cfg1");
  EXPECT_EQ(form["other"].asString(),
            host_->record.getQueryUrl() + "," + services_->Url("/files/quenlo_setup.exe"));
  EXPECT_NE(host_->record.getQueryUrl().find("&SiteID="), std::string::npos);
}

// A run whose package fails its checks talks to every service: the
// configuration query, the length probe, the slices and the alert report.
// Each reaches the services only through the proxy the system names, which
// asks for basic authentication: the services see its Via header on every
// request and the proxy logged each one.
TEST_F(InstallWorkerITest, EveryRequestOfARunPassesThroughTheProxy) {
  settings_.system().SetOsVersion(Windows(10, 0));
  Tinyproxy proxy(folder_.path() / "proxy", "installer", "s3cret");
  Serve("quenlo_setup.exe", "quenlo_setup.exe");
  Spoil("quenlo_setup.exe");
  const ScopedProxy named(proxy.Url());

  EXPECT_EQ(InstallWorker(*host_, deps_).Run(), -1);
  EXPECT_EQ(host_->PostedMessages(), (std::vector<unsigned>{MSG_VERIFY_STARTED, MSG_SIGNATURE_INVALID}));
  const Json::Value requests = services_->Requests();
  std::vector<std::string> targets, lines;
  for (const Json::Value& request : requests) {
    targets.push_back(request["target"].asString());
    EXPECT_NE(request["headers"]["Via"].asString().find("tinyproxy"), std::string::npos) << targets.back();
    lines.push_back(request["method"].asString() + " " + services_->Url(targets.back()));
  }
  // The analytics SDK's sender thread may deliver earlier events through
  // the proxy meanwhile: only the requests to the services count here. The
  // proxy also logs each request's first try, which it refuses with the
  // schemes it takes.
  std::set<std::string> relayed;
  for (const std::string& line : proxy.Requests()) {
    if (line.find(" " + services_->Url("/")) != std::string::npos) relayed.insert(line.substr(0, line.rfind(' ')));
  }
  EXPECT_EQ(relayed, std::set<std::string>(lines.begin(), lines.end()));
  EXPECT_NE(targets.front().find("/queryDownloaderV2?"), std::string::npos);
  EXPECT_EQ(targets.back(), "/api/exception/send");
  EXPECT_GE(targets.size(), 4u);  // query, probe, at least one slice, alert
}

// The same run through a proxy that asks for NTLM (squid), as corporate
// proxies do, with the user of the proxy setting: squid logs every request
// to the services as that user, and the services see its Via header.
TEST_F(InstallWorkerITest, EveryRequestOfARunPassesThroughAnNtlmProxy) {
  settings_.system().SetOsVersion(Windows(10, 0));
  Squid squid(folder_.path() / "squid");
  Serve("quenlo_setup.exe", "quenlo_setup.exe");
  Spoil("quenlo_setup.exe");
  const ScopedProxy named(squid.Url("installer"));

  EXPECT_EQ(InstallWorker(*host_, deps_).Run(), -1);
  EXPECT_EQ(host_->PostedMessages(), (std::vector<unsigned>{MSG_VERIFY_STARTED, MSG_SIGNATURE_INVALID}));
  std::vector<std::string> lines;
  for (const Json::Value& request : services_->Requests()) {
    const std::string target = request["target"].asString();
    EXPECT_NE(request["headers"]["Via"].asString().find("squid"), std::string::npos) << target;
    lines.push_back(request["method"].asString() + " " + services_->Url(target));
  }
  std::vector<std::string> relayed;
  for (const Squid::Entry& entry : squid.Log()) {
    if (entry.url.rfind(services_->Url("/"), 0) != 0 || !entry.Relayed()) continue;
    EXPECT_EQ(entry.user.rfind("installer", 0), 0u) << entry.url << " as " << entry.user;
    relayed.push_back(entry.method + " " + entry.url);
  }
  std::sort(lines.begin(), lines.end());
  std::sort(relayed.begin(), relayed.end());
  EXPECT_EQ(relayed, lines);
  EXPECT_GE(lines.size(), 4u);  // query, probe, at least one slice, alert
}

// A proxy that refuses the password (basic or NTLM), or that is not there: the run fails
// as when the download server cannot be reached (the length probe's DL012
// on every attempt, then the download failure with its code) and within
// the engine's retries; nothing reaches the services.
TEST_F(InstallWorkerITest, ARefusingProxyFailsTheRunLikeAnUnreachableServer) {
  settings_.system().SetOsVersion(Windows(10, 0));
  Tinyproxy proxy(folder_.path() / "proxy", "installer", "s3cret");
  Squid squid(folder_.path() / "squid");
  Serve("quenlo_setup.exe", "quenlo_setup.exe");
  for (const std::string& refusing : {"http://installer:wrong@" + proxy.Address(), squid.Url("intruder"),
                                      "http://127.0.0.1:" + std::to_string(nginx_test::FreePort())}) {
    const ScopedProxy named(refusing);
    NewHost("quenlo_setup.exe");
    EXPECT_EQ(InstallWorker(*host_, deps_).Run(), -1) << refusing;
    const std::vector<std::pair<unsigned, intptr_t>> failed{{MSG_DOWNLOAD_FAILED, GetLengthFailed}};
    EXPECT_EQ(host_->Posts(), failed) << refusing;
    EXPECT_EQ(host_->CountEvent("Other/FlowError/DL012"), static_cast<size_t>(InstallWorker::kAttempts)) << refusing;
    EXPECT_EQ(host_->CountEvent("Other/DownErrorCode/error_6"), 1u) << refusing;
  }
  EXPECT_EQ(services_->Requests().size(), 0u);
  EXPECT_TRUE(services_->AlertReports().empty());
}

}  // namespace
