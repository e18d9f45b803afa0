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
// of the trust store (system roots and extra roots) and carry the
// code-signing usage (or no usage restriction at all).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Signature.h"

namespace platform {
namespace posix {

SignatureCheck CheckSignatureBytes(const uint8_t* data, size_t size,
                                   const std::vector<std::string>& extraRoots);

}  // namespace posix
}  // namespace platform
