// posix backend: signature checks with OpenSSL, on bytes in memory (the file
// is mapped), so that tests and the fuzzer reach the parsers directly.
//
// A file starting with "MZ" is read as a PE image with an Authenticode
// signature: the certificate table (data directory 4) must be the file's last
// part; its first WIN_CERTIFICATE (revision 2.0, PKCS#7 SignedData) holds an
// SpcIndirectDataContent whose digest must equal the file's Authenticode
// digest (the file up to the table, without the CheckSum field and the
// table's directory entry). Any other file may end in an appended signature
// as Linux kernel modules carry it: a detached CMS SignedData over the bytes
// before it, a 12-byte record (id type 2, big-endian length) and the text
// "~Module signature appended~\n".
//
// Either way the signature must verify, its one signer must chain to a root
// of the trust store (CheckFileSignature's: the system's roots and the extra
// ones) and carry the code-signing usage (or no usage restriction at all).
#pragma once

#include <openssl/x509.h>

#include <cstddef>
#include <cstdint>

#include "platform/Signature.h"

namespace platform {
namespace posix {

// `store` gets the purpose "any": OpenSSL has no code-signing purpose, so the
// usage is checked here.
SignatureCheck CheckSignatureBytes(const uint8_t* data, size_t size, X509_STORE* store);

}  // namespace posix
}  // namespace platform
