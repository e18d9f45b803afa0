// Starting the installed product: directly or through Explorer, and what a
// product that cannot be started reports; links handed to the browser.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "FakeSystem.h"
#include "LogCapture.h"
#include "TempFolder.h"
#include "system/FuntionImpl.h"

namespace {

class StartTargetMainExeTest : public ::testing::Test {
 protected:
  int Start(const std::wstring& path, int asAdmin) {
    return FuntionImpl::StartTargetMainExe(L"\"" + path + L"\"", asAdmin,
                                           [this](const std::string& category, const std::string& action,
                                                  const std::string& label) {
                                             events_.push_back(category + "/" + action + "/" + label);
                                           });
  }

  TempFolder temp_;
  FakeSystem fake_;
  FakeSystemGuard guard_{fake_};
  std::vector<std::string> events_;
};

TEST_F(StartTargetMainExeTest, AMissingProductIsReportedAsError2AndExplorerIsNotAsked) {
  const std::wstring missing = (temp_.path() / "Quenlo" / "Quenlo.exe").wstring();
  EXPECT_EQ(Start(missing, 0), -1);
  EXPECT_TRUE(fake_.ShellOpens().empty());
  EXPECT_EQ(Start(missing, 1), -1);
  EXPECT_EQ(events_, (std::vector<std::string>{"Other/StartWindowError/2", "Other/StartWindowError/2"}));
}

// Explorer gets the quoted path; only its own answer decides.
TEST_F(StartTargetMainExeTest, ExplorerStartsTheProductForTheUser) {
  const std::wstring product = (temp_.path() / "Quenlo.exe").wstring();
  std::ofstream(temp_.path() / "Quenlo.exe") << "program";
  EXPECT_EQ(Start(product, 0), 0);
  ASSERT_EQ(fake_.ShellOpens().size(), 1u);
  EXPECT_EQ(fake_.ShellOpens()[0].file, L"explorer.exe");
  EXPECT_EQ(fake_.ShellOpens()[0].parameters, L"/e, \"" + product + L"\"");
  EXPECT_TRUE(fake_.ShellOpens()[0].show);
  EXPECT_TRUE(events_.empty());

  fake_.SetShellOpenResult(false);
  EXPECT_EQ(Start(product, 0), -1);
  EXPECT_EQ(events_, std::vector<std::string>{"Other/StartWindowError/-1"});
}

// Only a web address reaches the shell, re-encoded so that the shell and
// the browser read one address: nothing in it can end the quoted argument
// or add another. A page opened without the desktop shell says so.
TEST(OpenWebLinkTest, OnlyCleanWebAddressesReachTheBrowserReEncoded) {
  FakeSystem fake;
  FakeSystemGuard guard{fake};
  LogCapture log;
  const auto opened = [&](const std::wstring& link) {
    const size_t before = fake.WebPages().size();
    const bool result = FuntionImpl::OpenWebLink(link);
    const auto pages = fake.WebPages();
    EXPECT_EQ(result, pages.size() > before) << platform::WideToUtf8(link);
    return pages.size() == before ? std::wstring(L"<nothing>") : pages.back();
  };
  EXPECT_EQ(opened(L"HTTPS://www.quenlo-example.com/privacy?lang=en#top"),
            L"https://www.quenlo-example.com/privacy?lang=en#top");
  EXPECT_EQ(opened(L"http://quenlo-example.com"), L"http://quenlo-example.com/");
  EXPECT_EQ(opened(L"https://quenlo-example.com/\u00e4rger/<a>|^`{}\\x?q=%41"),
            L"https://quenlo-example.com/%c3%a4rger/%3Ca%3E%7C%5E%60%7B%7D%5Cx?q=%41");
  for (const wchar_t* refused :
       {L"https://quenlo-example.com/\" --user-data-dir=C:\\x", L"https://quenlo-example.com/a b",
        L"https://quenlo-example.com/a\tb", L"https://quenlo-example.com/a\nb", L"https://quenlo-example.com/\x7f",
        L"file:///C:/Windows/System32/calc.exe", L"C:\\Windows\\System32\\calc.exe", L"\\\\server\\share\\setup.exe",
        L"https:///etc/passwd", L"https://\\server/x", L"javascript:alert(1)", L"ftp://quenlo-example.com/", L"https://",
        L"mailto:a@quenlo-example.com", L""}) {
    EXPECT_EQ(opened(refused), L"<nothing>") << platform::WideToUtf8(refused);
  }
  EXPECT_TRUE(log.Has(" [Error]: not a web address, not opened: https://quenlo-example.com/a b"));

  fake.SetWebPageResult(platform::WebPageOpened::kWithOwnRights);
  EXPECT_EQ(opened(L"https://quenlo-example.com/"), L"https://quenlo-example.com/");
  EXPECT_TRUE(log.Contains("no desktop shell to hand the page to, opened from Setup itself: https://quenlo-example.com/"));
  fake.SetWebPageResult(platform::WebPageOpened::kNot);
  EXPECT_FALSE(FuntionImpl::OpenWebLink(L"https://quenlo-example.com/"));
  EXPECT_TRUE(log.Has(" [Error]: the page did not open: https://quenlo-example.com/"));
}

}  // namespace
