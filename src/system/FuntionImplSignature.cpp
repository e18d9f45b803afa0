// FuntionImpl: the signature check of the downloaded installer. The platform
// verifies the signature and its chain; here the signer is held against the
// publisher pins, so that a valid signature by anybody else is refused.
#include <cctype>
#include <cstdio>

#include <easylogging++.h>

#include "platform/PinnedFile.h"
#include "platform/Platform.h"
#include "platform/Signature.h"
#include "system/FuntionImpl.h"

// Deployment data from the build (cmake/TestSigning.cmake).
#ifndef SETUP_PUBLISHER_PIN
#define SETUP_PUBLISHER_PIN ""
#endif
#ifndef SETUP_TEST_SIGNING_ROOT
#define SETUP_TEST_SIGNING_ROOT ""
#endif

namespace FuntionImpl {

namespace {

std::vector<std::string> SplitPins(const std::string& text) {
  std::vector<std::string> pins;
  std::string pin;
  for (size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : ',';
    if (c == ',') {
      if (!pin.empty()) pins.push_back(pin);
      pin.clear();
    } else if (!std::isspace(static_cast<unsigned char>(c))) {
      pin += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return pins;
}

std::string HexOf(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

int Nibble(char c) { return std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10; }

std::string BytesOfHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(Nibble(hex[i]) << 4 | Nibble(hex[i + 1]));
  return bytes;
}

bool Pinned(const platform::SignatureCheck& check, const std::vector<std::string>& pins) {
  const std::string cert = HexOf(check.signerCertSha256), key = HexOf(check.signerKeySha256);
  for (const std::string& pin : pins)
    if (!cert.empty() && (pin == cert || pin == key)) return true;
  return false;
}

std::string Format(const char* format, const std::string& path) {
  std::vector<char> text(std::snprintf(nullptr, 0, format, path.c_str()) + 1);
  std::snprintf(text.data(), text.size(), format, path.c_str());
  return text.data();
}

// The log text of a check; true when the file is accepted.
bool Judge(const platform::SignatureCheck& check, const SignaturePolicy& policy,
           const std::string& path, std::string* text) {
  switch (check.status) {
    case platform::SignatureStatus::kNotSigned:
      *text = Format("The file \"%s\" is not signed.", path);
      return false;
    case platform::SignatureStatus::kBadDigest:
      *text = Format("The file \"%s\" was changed after it was signed.", path);
      return false;
    case platform::SignatureStatus::kUntrusted:
      *text = "The signature is present, but not trusted.";
      return false;
    case platform::SignatureStatus::kMalformed:
      *text = Format("An unknown error occurred trying to verify the signature of the \"%s\" file.", path);
      return false;
    case platform::SignatureStatus::kValid:
      break;
  }
  if (policy.pins.empty()) {
    *text = Format("No publisher is pinned: the signature of \"%s\" cannot be accepted.", path);
    return false;
  }
  if (!Pinned(check, policy.pins)) {
    *text = Format("The file \"%s\" is signed by a publisher that is not pinned", path) +
            " (certificate SHA-256 " + HexOf(check.signerCertSha256) + ", key SHA-256 " +
            HexOf(check.signerKeySha256) + ").";
    return false;
  }
  *text = Format("The file \"%s\" is signed and the signature was verified.", path);
  return true;
}

// Logs the outcome; true when the file is accepted.
bool Report(const platform::SignatureCheck& check, const SignaturePolicy& policy, const std::wstring& path) {
  std::string text;
  const bool accepted = Judge(check, policy, platform::WideToUtf8(path), &text);
  char code[16];
  std::snprintf(code, sizeof code, "0x%x", check.systemCode);
  LOG(INFO) << " VerifyEmbeddedSignature result is " << code << ", " << text;
  return accepted;
}

}  // namespace

SignaturePolicy BuiltInSignaturePolicy() {
  SignaturePolicy policy;
  policy.pins = SplitPins(SETUP_PUBLISHER_PIN);
  const std::string root = BytesOfHex(SETUP_TEST_SIGNING_ROOT);
  if (!root.empty()) policy.extraRoots.push_back(root);
  return policy;
}

bool VerifySignatureWith(const platform::PinnedFile& file, const SignaturePolicy& policy) {
  return Report(platform::CheckFileSignature(file, policy.extraRoots), policy, file.Path());
}

bool VerifySignatureWith(const wchar_t* path, const SignaturePolicy& policy) {
  uint32_t error = 0;
  const std::unique_ptr<platform::PinnedFile> file = platform::OpenPinnedFile(path, &error);
  if (file) return VerifySignatureWith(*file, policy);
  platform::SignatureCheck unopened;  // malformed: "an unknown error occurred"
  unopened.systemCode = error;
  return Report(unopened, policy, path);
}

bool VerifyEmbeddedSignature(const platform::PinnedFile& file) {
  return VerifySignatureWith(file, BuiltInSignaturePolicy());
}

bool VerifyEmbeddedSignature(const wchar_t* path) {
  return VerifySignatureWith(path, BuiltInSignaturePolicy());
}

bool isExePath(std::wstring text) {
  return text.size() < 4 || text.compare(text.size() - 4, 4, L".exe") == 0;
}

}  // namespace FuntionImpl
