// The proxy of every request against Debian's tinyproxy and squid on
// loopback: a bypassed host goes direct, HTTPS passes through a tunnel, a
// proxy that refuses (a wrong basic password, an NTLM user it does not
// know, none there) fails each kind of request at once with the code that
// names it, a redirect to another host takes that host's proxy, and the
// analytics follow "proxy.txt" when it names a proxy.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "CDeliveryClient.h"
#include "download/CLibcurlTool.h"
#include "integration/RefServices.h"
#include "integration/ScopedEnv.h"
#include "integration/TestPki.h"
#include "integration/TestSettings.h"
#include "integration/Squid.h"
#include "integration/Tinyproxy.h"
#include "download/CDownloader.h"
#include "download/DownLoadImpl.h"
#include "download/DownloadEvents.h"
#include "platform/Platform.h"
#include "unit/LogCapture.h"
#include "unit/SliceDownload.h"
#include "unit/TempFolder.h"

namespace {

using Lines = std::vector<std::string>;

class ProxyITest : public ::testing::Test {
 protected:
  RefServices::Options Plain() const { return RefServices::Options{{}, folder_.path()}; }
  // HTTPS with a certificate of the test's CA, which the settings file names.
  RefServices::Options Tls() {
    const TestPki::Pair pair = pki_.Server("loopback", "IP:127.0.0.1");
    settings_.Write("CaBundle=" + pki_.caBundle().string() + "\n");
    RefServices::Options options = Plain();
    options.cert = pair.cert;
    options.key = pair.key;
    return options;
  }

  TempFolder folder_;
  TestSettings settings_{folder_.path()};
  TestPki pki_{folder_.path() / "pki"};
  CLibcurlTool tool_{curl_easy_init()};
};

TEST_F(ProxyITest, BypassedHostGoesDirect) {
  RefServices services(Plain());
  Tinyproxy proxy(folder_.path() / "proxy");
  const ScopedProxy named(proxy.Url(), "example.invalid, localhost");
  const std::string port = std::to_string(services.port());
  LogCapture log;
  std::string body;
  EXPECT_EQ(tool_.httpGet(("http://localhost:" + port + "/gen/10/direct.bin").c_str(), body, false), CURLE_OK);
  EXPECT_EQ(tool_.httpGet(("http://127.0.0.1:" + port + "/gen/10/proxied.bin").c_str(), body, false), CURLE_OK);

  EXPECT_EQ(proxy.Requests(), Lines{"GET http://127.0.0.1:" + port + "/gen/10/proxied.bin HTTP/1.1"});
  const Json::Value requests = services.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_FALSE(requests[0]["headers"].isMember("Via"));
  EXPECT_TRUE(requests[1]["headers"].isMember("Via"));
  EXPECT_TRUE(log.Has(" Proxy for http://localhost:" + port + ": none"));
  EXPECT_TRUE(log.Has(" Proxy for http://127.0.0.1:" + port + ": " + proxy.Url() + "/"));
}

// The header probe and a slice judge the server's answers, not the
// proxy's answer to the tunnel request. The proxy's password reaches the
// proxy, never the log.
TEST_F(ProxyITest, HttpsPassesThroughATunnel) {
  RefServices services(Tls());
  Tinyproxy proxy(folder_.path() / "proxy", "installer", "s3cret");
  const ScopedProxy named(proxy.Url());
  LogCapture log;
  char headers[CLibcurlTool::kMaxHeaderText + 1];
  long status = 0;
  EXPECT_EQ(tool_.httpGet(services.Url("/gen/100/x.exe").c_str(), headers, status), CURLE_OK);
  EXPECT_EQ(status, 200);
  EXPECT_EQ(std::string(headers).find("Connection established"), std::string::npos) << headers;
  SliceDownload slice(folder_.path() / "slice.bin", services.Url("/gen/100/x.exe"), 10, 19, 100);
  EXPECT_EQ(slice.Run(tool_), CURLE_OK);
  std::string response;
  EXPECT_EQ(tool_.HttpPost(services.Url("/echo"), "through", response, nullptr), CURLE_OK);
  EXPECT_EQ(response, "through");
  // A tunnel may serve more than one request (the probe and the slice
  // share the tool's handle), and each is first asked without credentials
  // (the proxy names its schemes in its refusal), so the proxy saw two to six.
  const Lines tunnels = proxy.Requests();
  EXPECT_GE(tunnels.size(), 2u);
  EXPECT_LE(tunnels.size(), 6u);
  for (const std::string& tunnel : tunnels) EXPECT_EQ(tunnel, "CONNECT " + services.host() + " HTTP/1.1");
  EXPECT_EQ(services.Requests().size(), 3u);
  EXPECT_TRUE(log.Has(" Proxy for https://" + services.host() + ": http://" + proxy.Address() +
                      "/ (authentication as the setting's user)"));
  EXPECT_FALSE(log.Contains("s3cret"));
}

// The length probe, a slice and a POST, through a proxy that refuses the
// password, one that refuses the NTLM user, and one that is not there: each
// ends with the refusal's code, none waits for a time limit.
TEST_F(ProxyITest, RefusingProxyFailsEveryRequestAtOnce) {
  RefServices services(Tls());
  Tinyproxy proxy(folder_.path() / "proxy", "installer", "s3cret");
  Squid squid(folder_.path() / "squid");
  struct Case {
    std::string proxy;
    CURLcode code;
    const char* logged;
  };
  for (const Case& refusing :
       {Case{"http://installer:wrong@" + proxy.Address(), CURLE_RECV_ERROR, " Curl Else Error: 56"},
        Case{squid.Url("intruder"), CURLE_RECV_ERROR, " Curl Else Error: 56"},
        Case{"http://127.0.0.1:" + std::to_string(nginx_test::FreePort()), CURLE_COULDNT_CONNECT,
             " Curl Connect Server Error"}}) {
    const ScopedProxy named(refusing.proxy);
    LogCapture log;
    char headers[CLibcurlTool::kMaxHeaderText + 1];
    long status = 0;
    EXPECT_EQ(tool_.httpGet(services.Url("/gen/100/x.exe").c_str(), headers, status), refusing.code);
    SliceDownload slice(folder_.path() / "slice.bin", services.Url("/gen/100/x.exe"), 0, 9, 100);
    EXPECT_EQ(slice.Run(tool_), refusing.code);
    std::string response;
    EXPECT_EQ(tool_.HttpPost(services.Url("/echo"), "x", response, nullptr), refusing.code);
    EXPECT_EQ(log.Count(refusing.logged), 2u) << refusing.proxy;  // the POST logs nothing itself
  }
  EXPECT_EQ(services.Requests().size(), 0u);
  // Squid logs each refusal, and a tunnel the client gave up as NONE.
  for (const Squid::Entry& entry : squid.Log())
    EXPECT_TRUE(entry.result == "TCP_DENIED/407" || entry.result.rfind("NONE", 0) == 0) << entry.result;
}

// An NTLM proxy takes the setting's user for every kind of request: the
// header probe, the length probe, a slice, a GET and a POST.
TEST_F(ProxyITest, NtlmProxyTakesTheSettingsUser) {
  RefServices services(Plain());
  Squid squid(folder_.path() / "squid");
  const ScopedProxy named(squid.Url("installer"));
  char headers[CLibcurlTool::kMaxHeaderText + 1];
  long status = 0;
  EXPECT_EQ(tool_.httpGet(services.Url("/gen/100/x.exe").c_str(), headers, status), CURLE_OK);
  EXPECT_EQ(status, 200);
  std::string probed;
  EXPECT_EQ(tool_.httpProbe(services.Url("/gen/100/x.exe").c_str(), probed, status), CURLE_OK);
  EXPECT_EQ(status, 206);
  SliceDownload slice(folder_.path() / "slice.bin", services.Url("/gen/100/x.exe"), 10, 19, 100);
  EXPECT_EQ(slice.Run(tool_), CURLE_OK);
  std::string body, response;
  EXPECT_EQ(tool_.httpGet(services.Url("/gen/10/y.bin").c_str(), body, false), CURLE_OK);
  EXPECT_EQ(body.size(), 10u);
  EXPECT_EQ(tool_.HttpPost(services.Url("/echo"), "through", response, nullptr), CURLE_OK);
  EXPECT_EQ(response, "through");
  EXPECT_EQ(services.Requests().size(), 5u);
  size_t passed = 0;
  for (const Squid::Entry& entry : squid.Log()) {
    if (!entry.Relayed()) continue;
    EXPECT_EQ(entry.user.rfind("installer", 0), 0u) << entry.url;
    ++passed;
  }
  EXPECT_EQ(passed, 5u);
}

// A redirect to another host asks which proxy that host takes: here the
// first host goes through the proxy and the second is bypassed, and the
// other way round, for a plain GET and for a whole download (its length
// probe follows the redirect, its slices ask the target).
TEST_F(ProxyITest, RedirectToAnotherHostTakesThatHostsProxy) {
  RefServices services(Plain());
  Tinyproxy proxy(folder_.path() / "proxy");
  const ScopedProxy named(proxy.Url(), "localhost");
  const std::string port = std::to_string(services.port());
  const std::string proxied = "http://127.0.0.1:" + port, direct = "http://localhost:" + port;
  std::string body;
  ASSERT_EQ(tool_.httpGet((proxied + "/away/localhost:" + port + "/gen/10/a.bin").c_str(), body, false), CURLE_OK);
  EXPECT_EQ(body.size(), 10u);
  EXPECT_EQ(proxy.Requests(), Lines{"GET " + proxied + "/away/localhost:" + port + "/gen/10/a.bin HTTP/1.1"});
  Json::Value requests = services.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1]["target"].asString(), "/gen/10/a.bin");
  EXPECT_FALSE(requests[1]["headers"].isMember("Via"));
  services.ClearRequests();

  DownloadEvents::SetSink([](const std::string&, const std::string&, const std::string&, const std::string&,
                             const std::string&, const std::string&) {});
  std::string cdnInfo;
  const std::string target = (folder_.path() / "b.bin").string();
  const std::string url = direct + "/away/127.0.0.1:" + port + "/gen/300000/b.bin";
  EXPECT_EQ(CDownLoadImpl::SuperDownloadFile(platform::AnsiToWide(url).c_str(), platform::AnsiToWide(target).c_str(),
                                             cdnInfo, false),
            DownloadOk);
  DownloadEvents::SetSink(nullptr);
  requests = services.Requests();
  ASSERT_GE(requests.size(), 3u);  // the probe's two hops, the slice
  EXPECT_EQ(requests[0]["target"].asString(), "/away/127.0.0.1:" + port + "/gen/300000/b.bin");
  EXPECT_FALSE(requests[0]["headers"].isMember("Via"));
  for (Json::ArrayIndex i = 1; i < requests.size(); ++i)
    EXPECT_TRUE(requests[i]["headers"].isMember("Via")) << requests[i]["target"].asString();
  EXPECT_EQ(proxy.Requests().size(), requests.size());  // the first part's request and all but the first here
}

// "proxy.txt" beside the installer overrides the system's proxy for the
// analytics alone; only its first word counts.
TEST_F(ProxyITest, AnalyticsFollowProxyTxtElseTheSystem) {
  RefServices services(Plain());
  Tinyproxy system(folder_.path() / "system"), file(folder_.path() / "file");
  const ScopedProxy named(system.Url());
  CDeliveryClient client(DeliveryConfig::BuiltIn(), folder_.path().wstring() + L"/", false);
  const std::string url = services.Url("/echo");
  EXPECT_EQ(client.PostDataError(url, "{}"), 200);
  std::ofstream(folder_.path() / "proxy.txt") << file.Address() << "\nnot this\n";
  EXPECT_EQ(client.PostDataError(url, "{}"), 200);

  const Lines once{"POST " + url + " HTTP/1.1"};
  EXPECT_EQ(system.Requests(), once);
  EXPECT_EQ(file.Requests(), once);
}

}  // namespace
