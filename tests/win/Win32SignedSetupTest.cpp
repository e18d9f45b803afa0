// The build signs Setup.exe with its key (a test build's: the test publisher
// "pinned"), and the installer's own check accepts the result while a copy
// changed after signing is refused.
#include <gtest/gtest.h>

#include "signing/SignedFiles.h"
#include "system/FuntionImpl.h"
#include "unit/TempFolder.h"

namespace {

TEST(Win32SignedSetup, TheBuiltSetupPassesTheInstallersOwnCheckUntilChanged) {
  const std::filesystem::path setup = signing::FixtureFolder().parent_path() / "Setup.exe";
  const std::string bytes = signing::ReadBytes(setup);
  ASSERT_GT(bytes.size(), 4096u) << setup;
  EXPECT_TRUE(FuntionImpl::VerifyEmbeddedSignature(setup.wstring().c_str()));

  TempFolder folder;
  std::string changed = bytes;
  changed[bytes.size() / 3] ^= 0x01;  // in the code, far from the signature
  const std::filesystem::path copy = folder.path() / "Setup.exe";
  signing::WriteBytes(copy, changed);
  EXPECT_FALSE(FuntionImpl::VerifyEmbeddedSignature(copy.wstring().c_str()));
}

}  // namespace
