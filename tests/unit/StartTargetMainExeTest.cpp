// Starting the installed product: directly or through Explorer, and what a
// product that cannot be started reports.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "FakeSystem.h"
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

}  // namespace
