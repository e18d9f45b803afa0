// Certificate and host checks of the HTTP client against the reference
// services over HTTPS, with a CA that the test makes and names in the
// settings file.
#include <gtest/gtest.h>

#include <memory>

#include "download/CLibcurlTool.h"
#include "integration/RefServices.h"
#include "integration/TestPki.h"
#include "integration/TestSettings.h"
#include "unit/LogCapture.h"
#include "unit/SliceDownload.h"
#include "unit/TempFolder.h"

namespace {

class TlsITest : public ::testing::Test {
 protected:
  // An HTTPS server whose certificate is `pair`.
  void Serve(const TestPki::Pair& pair) {
    RefServices::Options options;
    options.files = folder_.path();
    options.cert = pair.cert;
    options.key = pair.key;
    services_ = std::make_unique<RefServices>(options);
  }
  void TrustTestCa() { settings_.Write("CaBundle=" + pki_.caBundle().string() + "\n"); }
  CURLcode Get() {
    std::string body;
    return tool_.httpGet(services_->Url("/gen/10/x.bin").c_str(), body, false);
  }

  TempFolder folder_;
  TestSettings settings_{folder_.path()};
  TestPki pki_{folder_.path() / "pki"};
  std::unique_ptr<RefServices> services_;
  CLibcurlTool tool_{curl_easy_init()};
};

TEST_F(TlsITest, CertificateOfAnUnknownCaFails) {
  Serve(pki_.Server("loopback", "IP:127.0.0.1,DNS:localhost"));
  LogCapture log;
  EXPECT_EQ(Get(), CURLE_PEER_FAILED_VERIFICATION);
  SliceDownload slice(folder_.path() / "slice.bin", services_->Url("/gen/100/x.exe"), 0, 9, 100);
  EXPECT_EQ(slice.Run(tool_), CURLE_PEER_FAILED_VERIFICATION);
  EXPECT_TRUE(log.Has(" Curl Else Error: 60"));
  std::string response;
  EXPECT_EQ(tool_.HttpPost(services_->Url("/echo"), "x", response, nullptr), CURLE_PEER_FAILED_VERIFICATION);
  EXPECT_EQ(services_->Requests().size(), 0u);
}

TEST_F(TlsITest, TestCaNamedInTheSettingsPasses) {
  Serve(pki_.Server("loopback", "IP:127.0.0.1,DNS:localhost"));
  TrustTestCa();
  LogCapture log;
  EXPECT_EQ(Get(), CURLE_OK);
  EXPECT_TRUE(log.Has(" TLS checks on, extra CA bundle: " + pki_.caBundle().string()));
  SliceDownload slice(folder_.path() / "slice.bin", services_->Url("/gen/100/x.exe"), 0, 9, 100);
  EXPECT_EQ(slice.Run(tool_), CURLE_OK);
  std::string response;
  EXPECT_EQ(tool_.HttpPost(services_->Url("/echo"), "x", response, nullptr), CURLE_OK);
  EXPECT_EQ(response, "x");
}

TEST_F(TlsITest, HostNameMismatchFails) {
  Serve(pki_.Server("elsewhere", "DNS:elsewhere.example"));
  TrustTestCa();
  EXPECT_EQ(Get(), CURLE_PEER_FAILED_VERIFICATION);
}

TEST_F(TlsITest, CertificateOfAnotherCaFails) {
  Serve(pki_.Server("other", "IP:127.0.0.1", "otherca"));
  TrustTestCa();
  EXPECT_EQ(Get(), CURLE_PEER_FAILED_VERIFICATION);
}

// A request to an HTTPS address is never redirected to plain HTTP, so
// nobody on the way can strip TLS from it; the other way round is followed.
TEST_F(TlsITest, RedirectsNeverLeaveHttps) {
  Serve(pki_.Server("loopback", "IP:127.0.0.1,DNS:localhost"));
  TrustTestCa();
  RefServices plain(RefServices::Options{{}, folder_.path()});
  const std::string toPlain = services_->Url("/gen/10/was-" + plain.Url("/gen/10/x.exe"));
  std::string body;
  EXPECT_EQ(tool_.httpGet(toPlain.c_str(), body, false), CURLE_UNSUPPORTED_PROTOCOL);
  char headers[CLibcurlTool::kMaxHeaderText + 1];
  long code = 0;
  EXPECT_EQ(tool_.httpGet(toPlain.c_str(), headers, code), CURLE_UNSUPPORTED_PROTOCOL);
  SliceDownload slice(folder_.path() / "slice.bin", toPlain, 0, 9, 10);
  EXPECT_EQ(slice.Run(tool_), CURLE_UNSUPPORTED_PROTOCOL);
  EXPECT_EQ(plain.Requests().size(), 0u);

  EXPECT_EQ(tool_.httpGet(plain.Url("/gen/10/was-" + services_->Url("/gen/10/x.exe")).c_str(), body, false), CURLE_OK);
  EXPECT_EQ(body.size(), 10u);
}

TEST_F(TlsITest, ChecksOffOnlyWhenTheSettingsSaySo) {
  Serve(pki_.Server("elsewhere", "DNS:elsewhere.example", "otherca"));
  settings_.Write("TlsVerify=2\n");
  EXPECT_EQ(Get(), CURLE_PEER_FAILED_VERIFICATION);
  settings_.Write("TlsVerify=0\n");
  LogCapture log;
  EXPECT_EQ(Get(), CURLE_OK);
  EXPECT_TRUE(log.Contains("TLS certificate and host checks are off"));
}

}  // namespace
