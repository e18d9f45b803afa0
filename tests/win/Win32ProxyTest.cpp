// The win32 proxy backend reads the user's Internet settings through
// WinHTTP. The test writes the connection settings WinHTTP reads (a manual
// proxy per scheme and a bypass list, automatic detection off) and puts the
// user's own back afterwards.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WinTestUtil.h"
#include "net/ProxyResolver.h"
#include "platform/Proxy.h"

namespace {

const wchar_t kConnections[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
const wchar_t kSettings[] = L"DefaultConnectionSettings";

class Win32Proxy : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kConnections, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                              &key_, nullptr),
              ERROR_SUCCESS);
    DWORD bytes = 0;
    hadOwn_ = RegQueryValueExW(key_, kSettings, nullptr, nullptr, nullptr, &bytes) == ERROR_SUCCESS;
    own_.resize(bytes);
    if (hadOwn_) RegQueryValueExW(key_, kSettings, nullptr, nullptr, own_.data(), &bytes);
  }
  void TearDown() override {
    if (hadOwn_) {
      RegSetValueExW(key_, kSettings, 0, REG_BINARY, own_.data(), static_cast<DWORD>(own_.size()));
    } else {
      RegDeleteValueW(key_, kSettings);
    }
    RegCloseKey(key_);
    ProxyResolver::Shared().Forget();
  }

  // The binary record of the connection settings: a header (version,
  // change counter, flags), then the proxy list and the bypass list, each
  // as a length and its characters, then an empty PAC address.
  void UseManualProxy(const std::string& proxies, const std::string& bypass) {
    const DWORD kProxyNamed = 0x2;
    std::vector<BYTE> record;
    auto add = [&record](DWORD value) {
      const BYTE* bytes = reinterpret_cast<const BYTE*>(&value);
      record.insert(record.end(), bytes, bytes + sizeof value);
    };
    auto addText = [&](const std::string& text) {
      add(static_cast<DWORD>(text.size()));
      record.insert(record.end(), text.begin(), text.end());
    };
    add(0x46);
    add(1);
    add(kProxyNamed);
    addText(proxies);
    addText(bypass);
    addText("");
    record.resize(record.size() + 32);
    ASSERT_EQ(RegSetValueExW(key_, kSettings, 0, REG_BINARY, record.data(), static_cast<DWORD>(record.size())),
              ERROR_SUCCESS);
    ProxyResolver::Shared().Forget();
  }

  HKEY key_ = nullptr;
  bool hadOwn_ = false;
  std::vector<BYTE> own_;
};

TEST_F(Win32Proxy, ManualProxyPerSchemeWithItsBypassList) {
  UseManualProxy("http=plain.corp.example:3128;https=secure.corp.example:8443", "*.intra.example;<local>");
  EXPECT_EQ(platform::SystemProxyFor("http://files.example/a.exe", "http", "files.example", 80),
            "plain.corp.example:3128");
  EXPECT_EQ(platform::SystemProxyFor("https://files.example/a.exe", "https", "files.example", 443),
            "secure.corp.example:8443");
  EXPECT_EQ(platform::SystemProxyFor("https://wiki.intra.example/", "https", "wiki.intra.example", 443), "");
  EXPECT_EQ(platform::SystemProxyFor("http://fileserver/", "http", "fileserver", 80), "");

  EXPECT_EQ(ProxyResolver::Shared().RouteFor("https://files.example/b.exe").proxy,
            "http://secure.corp.example:8443/");
  EXPECT_EQ(ProxyResolver::Shared().RouteFor("https://wiki.intra.example/b.exe").proxy, "");
}

// A corporate proxy that asks for Negotiate or NTLM is answered as the
// logged-on user (libcurl's SSPI, which this build has) when the setting
// names no user; with a user in the setting, basic or NTLM as that user.
TEST_F(Win32Proxy, ProxyAuthenticationTakesTheLogonUserUnlessTheSettingNamesOne) {
  EXPECT_TRUE(platform::ProxyLogonAvailable());
  EXPECT_NE(curl_version_info(CURLVERSION_NOW)->features & CURL_VERSION_SSPI, 0);
  EXPECT_EQ(ProxyRoute::Parse("proxy.corp.example:8080").AuthMethods(), CURLAUTH_NEGOTIATE | CURLAUTH_NTLM);
  EXPECT_EQ(ProxyRoute::Parse("http://CORP%5Cann:pw@proxy.corp.example:8080").AuthMethods(),
            CURLAUTH_BASIC | CURLAUTH_NTLM);
  EXPECT_EQ(ProxyRoute::Parse("").AuthMethods(), 0u);
}

TEST_F(Win32Proxy, NoProxyNamedGoesDirect) {
  UseManualProxy("", "");
  EXPECT_EQ(platform::SystemProxyFor("https://files.example/a.exe", "https", "files.example", 443), "");
}

}  // namespace
