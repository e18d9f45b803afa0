// Started programs on posix: the Windows command line split the way the
// installer reads it, exit codes, the wait's time limit, a package (as
// downloaded, without execute bit) that the system refuses to run, and the
// held file being what runs even when the path is swapped after its checks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/Digest.h"
#include "download/DownLoadImpl.h"
#include "platform/PinnedFile.h"
#include "platform/Process.h"
#include "platform/posix/PosixInternal.h"
#include "signing/SignedFiles.h"
#include "unit/TempFolder.h"

namespace fs = std::filesystem;

namespace {

// A system program, reached without links (/bin is one on merged-/usr systems).
std::unique_ptr<platform::PinnedFile> Held(const fs::path& program) {
  uint32_t error = 0;
  auto held = platform::OpenPinnedFile(fs::canonical(program).wstring(), &error);
  EXPECT_TRUE(held) << program << " error " << error;
  return held;
}

TEST(ChildProcess, TheCommandLineIsSplitAsTheInstallerReadsIt) {
  EXPECT_EQ(platform::posix::SplitCommandLine(
                " /VERYSILENT /SP- /DIR=\"/opt/Program Files/Quenlo\\\" /LANG=jp /LOG=\"/tmp/a b.log\"  /EXTRA=null"),
            (std::vector<std::string>{"/VERYSILENT", "/SP-", "/DIR=/opt/Program Files/Quenlo\\", "/LANG=jp",
                                      "/LOG=/tmp/a b.log", "/EXTRA=null"}));
  EXPECT_TRUE(platform::posix::SplitCommandLine("   ").empty());
}

TEST(ChildProcess, ExitCodesAndTheWaitsLimit) {
  TempFolder folder;
  const fs::path out = folder.path() / "args.txt";
  uint32_t error = 1, code = 0;
  auto child = platform::StartChildProcess(*Held("/bin/sh"), L" -c \"echo $0 >" + out.wstring() + L"; exit 7\" \"a b\"",
                                           &error);
  ASSERT_TRUE(child);
  EXPECT_EQ(error, 0u);
  ASSERT_TRUE(child->Wait(10000, &code));
  EXPECT_EQ(code, 7u);
  std::ifstream in(out);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "a b");

  auto sleeper = platform::StartChildProcess(*Held("/bin/sleep"), L" 2", &error);
  ASSERT_TRUE(sleeper);
  EXPECT_FALSE(sleeper->Wait(100, &code));
  ASSERT_TRUE(sleeper->Wait(10000, &code));
  EXPECT_EQ(code, 0u);
}

TEST(ChildProcess, APackageTheSystemCannotRunIsNotStarted) {
  TempFolder folder;
  const fs::path package = folder.path() / "quenlo_broken.exe";
  fs::copy_file(fs::path(SETUP_BIN_DIR) / "packages" / "quenlo_broken.exe", package);
  uint32_t error = 0;
  EXPECT_FALSE(platform::StartChildProcess(*Held(package), L" /VERYSILENT", &error));
  EXPECT_EQ(error, 193u);
  EXPECT_FALSE(platform::OpenPinnedFile(L"/nonexistent/setup.exe", &error));
  EXPECT_EQ(error, 2u);
}

// The package is held from its hash to its start: a file renamed over its
// path after the checks (here "false" over "true") is not what runs, and a
// link in its place is never held.
TEST(ChildProcess, WhatWasCheckedIsWhatRunsWhenThePathIsSwapped) {
  TempFolder folder;
  const fs::path package = folder.path() / "setup_1.0.exe";
  fs::copy_file(fs::canonical("/bin/true"), package);
  const std::string checked = signing::ReadBytes(package);
  uint32_t error = 0;
  const auto held = platform::OpenPinnedFile(package.wstring(), &error);
  ASSERT_TRUE(held) << error;
  EXPECT_EQ(CDownLoadImpl::checkMD5(*held, platform::AnsiToWide(md5Hex(checked)), L"", L"1.0", L""),
            CDownLoadImpl::kHashesMatch);

  fs::copy_file(fs::canonical("/bin/false"), folder.path() / "swap");
  fs::rename(folder.path() / "swap", package);
  ASSERT_NE(signing::ReadBytes(package), checked);
  uint32_t code = 99;
  auto child = platform::StartChildProcess(*held, L"", &error);
  ASSERT_TRUE(child) << error;
  ASSERT_TRUE(child->Wait(10000, &code));
  EXPECT_EQ(code, 0u);  // true ran, not false

  fs::create_symlink(fs::canonical("/bin/true"), folder.path() / "link.exe");
  EXPECT_FALSE(platform::OpenPinnedFile((folder.path() / "link.exe").wstring(), &error));
  EXPECT_EQ(error, platform::kErrorLinkRefused);
}

}  // namespace
