// The log upload against the reference log collection service over HTTPS:
// the form and its archive, which files stay after a 200 and after a
// failure, names outside the log folder, a service that hangs and one whose
// certificate is not trusted.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "integration/RefServices.h"
#include "integration/TestPki.h"
#include "integration/TestSettings.h"
#include "unit/TempFolder.h"
#include "upload/CLogUpload.h"

namespace {

namespace fs = std::filesystem;

const char kLogName[] = "QuenloSetup_20240101123000123.log";

class LogUploadITest : public ::testing::Test {
 protected:
  LogUploadITest() {
    fs::create_directories(logs_);
    settings_.Write("CaBundle=" + pki_.caBundle().string() + "\n");
  }

  // The reference services with a certificate of the trusted CA, or of one
  // that nothing trusts.
  void Serve(const std::string& ca = "ca") {
    const TestPki::Pair pair = pki_.Server("logs-" + ca, "IP:127.0.0.1,DNS:localhost", ca);
    services_ = std::make_unique<RefServices>(RefServices::Options{{}, {}, {}, pair.cert, pair.key});
  }
  CLogUpload Uploader() const { return CLogUpload(logs_.wstring(), services_->Url("/v1/productLogUpload")); }
  CLogUpload Uploader(CLogUpload::Limits limits) const {
    return CLogUpload(logs_.wstring(), services_->Url("/v1/productLogUpload"), limits);
  }
  void WriteLog(const std::string& name, const std::string& text) const {
    std::ofstream(logs_ / name, std::ios::binary) << text;
  }
  std::set<std::string> LogFiles() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(logs_)) names.insert(entry.path().filename().string());
    return names;
  }
  // The log, its copy and one archive named by the time: a failed send.
  void ExpectArchiveAndCopyKept() const {
    const std::set<std::string> files = LogFiles();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_TRUE(files.count(kLogName));
    EXPECT_TRUE(files.count(std::string(kLogName) + "_copy.log"));
    EXPECT_TRUE(std::regex_match(*files.begin(), std::regex(R"(\d{17}\.zip)"))) << *files.begin();
  }

  TempFolder folder_;
  const fs::path logs_ = folder_.path() / "logs";
  TestPki pki_{folder_.path() / "pki"};
  TestSettings settings_{folder_.path()};
  std::unique_ptr<RefServices> services_;
};

TEST_F(LogUploadITest, SendsTheFormWithOneDeflateEntryAndDeletesWhatWasSent) {
  Serve();
  const std::string text(50000, 'x');
  WriteLog(kLogName, text);
  WriteLog("nounderscore.dmp", "dump");
  CLogUpload upload = Uploader();
  EXPECT_EQ(upload.Upload(L"QuenloSetup_20240101123000123.log", "close05"), CLogUpload::kUploadTried);
  EXPECT_EQ(upload.Upload(L"nounderscore.dmp", ""), CLogUpload::kUploadTried);

  const Json::Value received = services_->LogUploads();
  ASSERT_EQ(received.size(), 2u);
  const Json::Value& close = received[0];
  EXPECT_TRUE(close["accepted"].asBool()) << close["problem"].asString();
  EXPECT_TRUE(std::regex_match(close["fileName"].asString(), std::regex(R"(QuenloSetup_\d{17}\.zip)")))
      << close["fileName"].asString();
  EXPECT_EQ(close["product_id"].asString(), "RERodaruze2900");
  EXPECT_EQ(close["catalogue"].asString(), "close05");
  ASSERT_EQ(close["entries"].size(), 1u);
  EXPECT_EQ(close["entries"][0]["name"].asString(), kLogName);
  EXPECT_EQ(close["entries"][0]["method"].asInt(), 8);  // deflate
  EXPECT_EQ(close["entries"][0]["size"].asUInt64(), text.size());
  // Without "_" the upload has no name of its own; an empty category is "default".
  EXPECT_TRUE(std::regex_match(received[1]["fileName"].asString(), std::regex(R"(NoName_\d{17}\.zip)")));
  EXPECT_EQ(received[1]["catalogue"].asString(), "default");
  EXPECT_EQ(received[1]["entries"][0]["name"].asString(), "nounderscore.dmp");
  // A 200 deletes the archive and the copy; the sources stay.
  EXPECT_EQ(LogFiles(), (std::set<std::string>{kLogName, "nounderscore.dmp"}));
}

TEST_F(LogUploadITest, KeepsArchiveAndCopyWhenTheServiceFailsOrHangs) {
  Serve();
  WriteLog(kLogName, "log");
  CLogUpload upload = Uploader({2, 3});
  services_->Control("/_control/logupload/fault?mode=fail");
  EXPECT_EQ(upload.Upload(L"QuenloSetup_20240101123000123.log", "close02"), CLogUpload::kUploadTried);
  ASSERT_EQ(services_->LogUploads().size(), 1u);
  ExpectArchiveAndCopyKept();
  EXPECT_EQ(upload.Send((logs_ / "none.zip").string(), "a_b.zip", "p", "v", "c"), CLogUpload::kNotAccepted);
  EXPECT_EQ(upload.Send("a.zi", "a_b.zip", "p", "v", "c"), CLogUpload::kBadArchivePath);

  for (const auto& entry : fs::directory_iterator(logs_))
    if (entry.path().extension() == ".zip") fs::remove(entry.path());
  // The service keeps an upload only once its silence is over: the upload
  // gave up (at its 3 s limit) before that, not kept by the minute.
  services_->Control("/_control/logupload/fault?mode=hang&seconds=60");
  EXPECT_EQ(upload.Upload(L"QuenloSetup_20240101123000123.log", "close02"), CLogUpload::kUploadTried);
  EXPECT_EQ(services_->LogUploads().size(), 1u);
  ExpectArchiveAndCopyKept();
}

TEST_F(LogUploadITest, RefusesACertificateItDoesNotTrust) {
  Serve("otherca");
  WriteLog(kLogName, "log");
  EXPECT_EQ(Uploader().Upload(L"QuenloSetup_20240101123000123.log", "close01"), CLogUpload::kUploadTried);
  EXPECT_EQ(services_->LogUploads().size(), 0u);
  ExpectArchiveAndCopyKept();
}

TEST_F(LogUploadITest, UploadsNothingForNamesOutsideTheLogFolderLinksOrAFailedCopy) {
  Serve();
  WriteLog(kLogName, "log");
  std::ofstream(folder_.path() / "outside.log") << "not for upload";
  fs::create_directories(logs_ / "sub");
  std::ofstream(logs_ / "sub" / "inner.log") << "not for upload";
  CLogUpload upload = Uploader();
  for (const std::wstring name : {L"../outside.log", L"..\\outside.log", L"..", L"sub/inner.log",
                                  L"sub\\inner.log", L"sub", L"C:outside.log", L"/etc/hostname",
                                  L"QuenloSetup_20240101123000123.log:stream", L"missing.log", L""})
    EXPECT_EQ(upload.Upload(name, "CrashDmp"), CLogUpload::kNothingUploaded) << platform::WideToUtf8(name);
  // A copy that cannot be made (its name is taken by a folder) sends nothing,
  // not even an empty archive.
  fs::create_directories(logs_ / (std::string(kLogName) + "_copy.log"));
  EXPECT_EQ(upload.Upload(L"QuenloSetup_20240101123000123.log", "close01"), CLogUpload::kNothingUploaded);
  // Links a user put in the log folder: one named as the file to send would
  // send another file, one in the copy's place would overwrite another.
  fs::create_symlink(folder_.path() / "outside.log", logs_ / "linked.log");
  EXPECT_EQ(upload.Upload(L"linked.log", "CrashDmp"), CLogUpload::kNothingUploaded);
  WriteLog("other.log", "log");
  fs::create_symlink(folder_.path() / "outside.log", logs_ / "other.log_copy.log");
  EXPECT_EQ(upload.Upload(L"other.log", "CrashDmp"), CLogUpload::kNothingUploaded);
  std::ifstream outside(folder_.path() / "outside.log");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(outside), {}), "not for upload");

  EXPECT_EQ(services_->LogUploads().size(), 0u);
  EXPECT_EQ(LogFiles(), (std::set<std::string>{kLogName, std::string(kLogName) + "_copy.log", "sub", "linked.log",
                                               "other.log", "other.log_copy.log"}));
  EXPECT_EQ(std::set<fs::path>(fs::directory_iterator(folder_.path()), fs::directory_iterator()),
            (std::set<fs::path>{folder_.path() / "logs", folder_.path() / "pki", folder_.path() / "outside.log",
                                folder_.path() / "ov_downloader.cfg"}));
}

}  // namespace
