// The embedded signature of a file, checked by the platform's verifier: on
// Windows WinVerifyTrust (Authenticode, full chain); on Linux OpenSSL, for
// an Authenticode-signed PE file or for a file with an appended CMS signature
// in the layout of Linux kernel modules. Which signer is acceptable is not
// decided here: the result names the signer, and the caller compares it with
// its publisher pin.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class PinnedFile;

enum class SignatureStatus {
  kValid,      // intact, and the signer chains to a trusted root for code signing
  kNotSigned,  // no signature at all
  kBadDigest,  // the file changed after signing
  kUntrusted,  // intact, but the signer or its chain is not trusted
  kMalformed,  // the signature or the file's layout cannot be read
};

struct SignatureCheck {
  SignatureStatus status = SignatureStatus::kMalformed;
  uint32_t systemCode = 0;       // the verifier's own result (HRESULT, OpenSSL error), for the log
  std::string signerCertSha256;  // SHA-256 (32 bytes) of the signer's certificate (DER)
  std::string signerKeySha256;   // ... of its public key (DER SubjectPublicKeyInfo)
};

// Checks the signature of the held file, read through its handle (Windows:
// WINTRUST_FILE_INFO.hFile); `extraRoots` (DER certificates) are trusted as
// roots besides the system's store. The signer's hashes are filled whenever a
// signer was found, whatever the status.
SignatureCheck CheckFileSignature(const PinnedFile& file, const std::vector<std::string>& extraRoots);

}  // namespace platform
