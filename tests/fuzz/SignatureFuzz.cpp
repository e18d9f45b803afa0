// libFuzzer target: any bytes as a signed package for the posix verifier.
// The PE layout, WIN_CERTIFICATE, PKCS#7 and SpcIndirectDataContent parsers
// and the appended-signature record must neither crash, read out of bounds
// nor hang; and no mutation of a signed file may come out valid, since no
// root is trusted here.
#include <cstdint>

#include "platform/posix/PosixSignature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static X509_STORE* const store = X509_STORE_new();  // trusts nothing
  const platform::SignatureCheck check = platform::posix::CheckSignatureBytes(data, size, store);
  if (check.status == platform::SignatureStatus::kValid) __builtin_trap();
  return 0;
}
