// Started programs on posix: the Windows command line split the way the
// installer reads it, exit codes, the wait's time limit, and a package (as
// downloaded, without execute bit) that the system refuses to run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Process.h"
#include "platform/posix/PosixInternal.h"
#include "unit/TempFolder.h"

namespace {

TEST(ChildProcess, TheCommandLineIsSplitAsTheInstallerReadsIt) {
  EXPECT_EQ(platform::posix::SplitCommandLine(
                " /VERYSILENT /SP- /DIR=\"/opt/Program Files/Quenlo\\\" /LANG=jp /LOG=\"/tmp/a b.log\"  /EXTRA=null"),
            (std::vector<std::string>{"/VERYSILENT", "/SP-", "/DIR=/opt/Program Files/Quenlo\\", "/LANG=jp",
                                      "/LOG=/tmp/a b.log", "/EXTRA=null"}));
  EXPECT_TRUE(platform::posix::SplitCommandLine("   ").empty());
}

TEST(ChildProcess, ExitCodesAndTheWaitsLimit) {
  TempFolder folder;
  const std::filesystem::path out = folder.path() / "args.txt";
  uint32_t error = 1, code = 0;
  auto child = platform::StartChildProcess(L"/bin/sh", L" -c \"echo $0 >" + out.wstring() + L"; exit 7\" \"a b\"", &error);
  ASSERT_TRUE(child);
  EXPECT_EQ(error, 0u);
  ASSERT_TRUE(child->Wait(10000, &code));
  EXPECT_EQ(code, 7u);
  std::ifstream in(out);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "a b");

  auto sleeper = platform::StartChildProcess(L"/bin/sleep", L" 2", &error);
  ASSERT_TRUE(sleeper);
  EXPECT_FALSE(sleeper->Wait(100, &code));
  ASSERT_TRUE(sleeper->Wait(10000, &code));
  EXPECT_EQ(code, 0u);
}

TEST(ChildProcess, APackageTheSystemCannotRunIsNotStarted) {
  TempFolder folder;
  const std::filesystem::path package = folder.path() / "quenlo_broken.exe";
  std::filesystem::copy_file(std::filesystem::path(SETUP_BIN_DIR) / "packages" / "quenlo_broken.exe", package);
  uint32_t error = 0;
  EXPECT_FALSE(platform::StartChildProcess(package.wstring(), L" /VERYSILENT", &error));
  EXPECT_EQ(error, 193u);
  EXPECT_FALSE(platform::StartChildProcess(L"/nonexistent/setup.exe", L"", &error));
  EXPECT_EQ(error, 2u);
}

}  // namespace
