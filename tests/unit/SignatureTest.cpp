// FuntionImpl's signature check of PE files on the platform's own verifier
// (WinVerifyTrust under Wine, which accepts any intact signature, even a
// self-signed one; OpenSSL on Linux, which checks the chain): only the
// pinned publisher's intact file passes, and only while a pin exists.
#include <gtest/gtest.h>

#include "signing/SignedFiles.h"
#include "system/FuntionImpl.h"
#include "unit/LogCapture.h"
#include "unit/TempFolder.h"

namespace {

TEST(Signature, OnlyThePinnedPublishersIntactPeFilePasses) {
  TempFolder folder;
  signing::ExpectOnlyPinnedPasses(folder.path(), "pe", ".exe");
}

TEST(Signature, PinsNameACertificateOrAPublicKeyAndNoPinAcceptsNothing) {
  TempFolder folder;
  const std::filesystem::path pinned = folder.path() / "pinned.exe";
  const std::filesystem::path other = folder.path() / "other.exe";
  signing::WriteBytes(pinned, signing::ReadBytes(signing::FixtureFolder() / "pinned.pe"));
  signing::WriteBytes(other, signing::ReadBytes(signing::FixtureFolder() / "other.pe"));
  FuntionImpl::SignaturePolicy policy = FuntionImpl::BuiltInSignaturePolicy();
  ASSERT_EQ(policy.pins.size(), 1u);

  std::string keyPin = signing::ReadBytes(signing::FixtureFolder() / "pinned.keypin");
  keyPin.resize(64);
  policy.pins = {"0000000000000000000000000000000000000000000000000000000000000000", keyPin};
  EXPECT_TRUE(FuntionImpl::VerifySignatureWith(pinned.wstring().c_str(), policy));
  EXPECT_FALSE(FuntionImpl::VerifySignatureWith(other.wstring().c_str(), policy));

  policy.pins.clear();
  LogCapture log;
  EXPECT_FALSE(FuntionImpl::VerifySignatureWith(pinned.wstring().c_str(), policy));
  EXPECT_TRUE(log.Contains("No publisher is pinned")) << log.Lines().front();
}

TEST(Signature, AnUnsignedFileIsLoggedWithItsPath) {
  TempFolder folder;
  const std::filesystem::path file = folder.path() / "package.exe";
  signing::WriteBytes(file, signing::ReadBytes(signing::FixtureFolder() / "unsigned.pe"));
  LogCapture log;
  EXPECT_FALSE(FuntionImpl::VerifyEmbeddedSignature(file.wstring().c_str()));
  EXPECT_TRUE(log.Contains(" VerifyEmbeddedSignature result is ")) << log.Lines().front();
  EXPECT_TRUE(log.Contains("The file \"" + platform::WideToUtf8(file.wstring()) + "\" is not signed."));
}

TEST(Signature, IsExePathWantsAnExactLowerCaseExeEnding) {
  EXPECT_TRUE(FuntionImpl::isExePath(L"abc"));
  EXPECT_TRUE(FuntionImpl::isExePath(L""));
  EXPECT_TRUE(FuntionImpl::isExePath(L"https://dl.example.com/setup_1.0.exe"));
  EXPECT_FALSE(FuntionImpl::isExePath(L"SETUP.EXE"));
  EXPECT_FALSE(FuntionImpl::isExePath(L"setup.exe?x=1"));
  EXPECT_FALSE(FuntionImpl::isExePath(L"abcd"));
}

}  // namespace
