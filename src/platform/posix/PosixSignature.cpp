// posix backend: Authenticode and appended CMS signatures (see PosixSignature.h).
#include "platform/posix/PosixSignature.h"

#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/PinnedFile.h"

namespace platform {
namespace posix {

namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* object) const { Free(object); }
};
using StorePtr = std::unique_ptr<X509_STORE, Deleter<X509_STORE, X509_STORE_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Pkcs7Ptr = std::unique_ptr<PKCS7, Deleter<PKCS7, PKCS7_free>>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, Deleter<CMS_ContentInfo, CMS_ContentInfo_free>>;
using SigPtr = std::unique_ptr<X509_SIG, Deleter<X509_SIG, X509_SIG_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX, EVP_MD_CTX_free>>;

constexpr char kSpcIndirectDataOid[] = "1.3.6.1.4.1.311.2.1.4";
constexpr char kAppendedMagic[] = "~Module signature appended~\n";
constexpr size_t kAppendedMagicSize = sizeof kAppendedMagic - 1;
constexpr size_t kAppendedRecordSize = 12;  // struct module_signature
constexpr uint8_t kIdTypePkcs7 = 2;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16; }
uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

SignatureCheck Status(SignatureStatus status) {
  SignatureCheck check;
  check.status = status;
  return check;
}

std::string Sha256(const unsigned char* bytes, size_t size) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!EVP_Digest(bytes, size, digest, &length, EVP_sha256(), nullptr)) return std::string();
  return std::string(reinterpret_cast<char*>(digest), length);
}

void NameSigner(X509* signer, SignatureCheck* check) {
  unsigned char* der = nullptr;
  int length = i2d_X509(signer, &der);
  if (length > 0) check->signerCertSha256 = Sha256(der, static_cast<size_t>(length));
  OPENSSL_free(der);
  der = nullptr;
  length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(signer), &der);
  if (length > 0) check->signerKeySha256 = Sha256(der, static_cast<size_t>(length));
  OPENSSL_free(der);
}

// The system's roots and the extra ones.
StorePtr TrustStore(const std::vector<std::string>& extraRoots) {
  StorePtr store(X509_STORE_new());
  if (!store) return store;
  X509_STORE_set_default_paths(store.get());
  for (const std::string& der : extraRoots) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(der.data());
    CertPtr root(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
    if (root) X509_STORE_add_cert(store.get(), root.get());
  }
  return store;
}

SignatureCheck Named(X509* signer, SignatureStatus status) {
  SignatureCheck check = Status(status);
  NameSigner(signer, &check);
  return check;
}

// The outcome once the signature was verified (`verified`) or not; a failed
// chain check is reported by OpenSSL with `chainReason`.
SignatureCheck Judge(X509* signer, bool verified, int chainReason) {
  SignatureCheck check = Named(signer, SignatureStatus::kValid);
  if (!verified) {
    const unsigned long error = ERR_peek_last_error();
    check.systemCode = static_cast<uint32_t>(error);
    check.status = ERR_GET_REASON(error) == chainReason ? SignatureStatus::kUntrusted
                                                         : SignatureStatus::kBadDigest;
  } else if (!(X509_get_extended_key_usage(signer) & XKU_CODE_SIGN)) {
    check.status = SignatureStatus::kUntrusted;
  }
  ERR_clear_error();
  return check;
}

// ---- PE images -----------------------------------------------------------------

struct PeLayout {
  uint64_t checksumOffset = 0;   // CheckSum of the optional header
  uint64_t certEntryOffset = 0;  // data directory 4: the certificate table
  uint64_t certTableOffset = 0;
  uint64_t certTableSize = 0;
};

// kValid with the layout of a signed image, kNotSigned without a certificate
// table, kMalformed when a header or the table lies outside the file.
SignatureStatus ParsePeLayout(const uint8_t* data, size_t size, PeLayout* layout) {
  if (size < 0x40) return SignatureStatus::kMalformed;
  const uint64_t pe = Le32(data + 0x3C);
  const uint64_t optional = pe + 4 + 20;  // signature, COFF header
  if (optional + 2 > size || std::memcmp(data + pe, "PE\0\0", 4) != 0) return SignatureStatus::kMalformed;
  const uint64_t optionalSize = Le16(data + pe + 4 + 16);
  const uint16_t magic = Le16(data + optional);
  const uint64_t countOffset = magic == 0x10B ? 92 : magic == 0x20B ? 108 : 0;
  const uint64_t certEntry = countOffset + 4 + 4 * 8;
  if (countOffset == 0 || optional + optionalSize > size || certEntry + 8 > optionalSize ||
      Le32(data + optional + countOffset) < 5)
    return SignatureStatus::kMalformed;
  layout->checksumOffset = optional + 64;
  layout->certEntryOffset = optional + certEntry;
  layout->certTableOffset = Le32(data + layout->certEntryOffset);
  layout->certTableSize = Le32(data + layout->certEntryOffset + 4);
  if (layout->certTableOffset == 0 && layout->certTableSize == 0) return SignatureStatus::kNotSigned;
  // Nothing may follow the table, and it cannot overlap the headers.
  if (layout->certTableOffset < optional + optionalSize ||
      layout->certTableOffset + layout->certTableSize != size)
    return SignatureStatus::kMalformed;
  return SignatureStatus::kValid;
}

std::string PeDigest(const uint8_t* data, const PeLayout& layout, const EVP_MD* md) {
  MdCtxPtr context(EVP_MD_CTX_new());
  const uint64_t ranges[3][2] = {{0, layout.checksumOffset},
                                 {layout.checksumOffset + 4, layout.certEntryOffset},
                                 {layout.certEntryOffset + 8, layout.certTableOffset}};
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  bool ok = context && EVP_DigestInit_ex(context.get(), md, nullptr);
  for (const auto& range : ranges)
    ok = ok && EVP_DigestUpdate(context.get(), data + range[0], range[1] - range[0]);
  ok = ok && EVP_DigestFinal_ex(context.get(), digest, &length);
  return ok ? std::string(reinterpret_cast<char*>(digest), length) : std::string();
}

bool StrongDigest(const EVP_MD* md) {
  const int nid = md ? EVP_MD_get_type(md) : NID_undef;
  return nid == NID_sha256 || nid == NID_sha384 || nid == NID_sha512;
}

// The signed bytes of an SpcIndirectDataContent (the SEQUENCE's contents, as
// Authenticode signs them) and the file digest it names.
bool ReadIndirectData(PKCS7* p7, const unsigned char** content, long* contentSize,
                      const EVP_MD** md, std::string* digest) {
  PKCS7* inner = p7->d.sign->contents;
  char oid[64] = "";
  if (!inner || !inner->type || OBJ_obj2txt(oid, sizeof oid, inner->type, 1) <= 0 ||
      std::strcmp(oid, kSpcIndirectDataOid) != 0 || !inner->d.other ||
      inner->d.other->type != V_ASN1_SEQUENCE)
    return false;
  const ASN1_STRING* sequence = inner->d.other->value.sequence;
  const unsigned char* p = ASN1_STRING_get0_data(sequence);
  long length = 0;
  int tag = 0, cls = 0;
  int flags = ASN1_get_object(&p, &length, &tag, &cls, ASN1_STRING_length(sequence));
  if ((flags & 0x80) || flags != V_ASN1_CONSTRUCTED || tag != V_ASN1_SEQUENCE) return false;
  *content = p;
  *contentSize = length;
  const unsigned char* end = p + length;
  // Skip SpcAttributeTypeAndOptionalValue; the DigestInfo follows.
  long skip = 0;
  flags = ASN1_get_object(&p, &skip, &tag, &cls, end - p);
  if ((flags & 0x80) || flags != V_ASN1_CONSTRUCTED) return false;
  p += skip;
  SigPtr digestInfo(d2i_X509_SIG(nullptr, &p, end - p));
  if (!digestInfo) return false;
  const X509_ALGOR* algorithm = nullptr;
  const ASN1_OCTET_STRING* value = nullptr;
  X509_SIG_get0(digestInfo.get(), &algorithm, &value);
  const ASN1_OBJECT* algorithmOid = nullptr;
  X509_ALGOR_get0(&algorithmOid, nullptr, nullptr, algorithm);
  *md = EVP_get_digestbyobj(algorithmOid);
  digest->assign(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)),
                 static_cast<size_t>(ASN1_STRING_length(value)));
  return StrongDigest(*md);
}

SignatureCheck CheckPe(const uint8_t* data, size_t size, X509_STORE* store) {
  PeLayout layout;
  const SignatureStatus status = ParsePeLayout(data, size, &layout);
  if (status != SignatureStatus::kValid) return Status(status);
  // WIN_CERTIFICATE: dwLength, wRevision 0x0200, wCertificateType 2 (PKCS#7).
  const uint8_t* table = data + layout.certTableOffset;
  if (layout.certTableSize < 8) return Status(SignatureStatus::kMalformed);
  const uint32_t length = Le32(table);
  if (length <= 8 || length > layout.certTableSize || Le16(table + 4) != 0x0200 || Le16(table + 6) != 2)
    return Status(SignatureStatus::kMalformed);
  const unsigned char* der = table + 8;
  Pkcs7Ptr p7(d2i_PKCS7(nullptr, &der, static_cast<long>(length - 8)));
  const unsigned char* content = nullptr;
  long contentSize = 0;
  const EVP_MD* md = nullptr;
  std::string namedDigest;
  if (!p7 || !PKCS7_type_is_signed(p7.get()) ||
      !ReadIndirectData(p7.get(), &content, &contentSize, &md, &namedDigest)) {
    ERR_clear_error();
    return Status(SignatureStatus::kMalformed);
  }
  STACK_OF(X509)* signers = PKCS7_get0_signers(p7.get(), nullptr, 0);
  const bool oneSigner = signers && sk_X509_num(signers) == 1;
  X509* signer = oneSigner ? sk_X509_value(signers, 0) : nullptr;
  sk_X509_free(signers);
  if (!signer) {
    ERR_clear_error();
    return Status(SignatureStatus::kMalformed);
  }
  if (PeDigest(data, layout, md) != namedDigest) return Named(signer, SignatureStatus::kBadDigest);
  BioPtr signedBytes(BIO_new_mem_buf(content, static_cast<int>(contentSize)));
  const bool verified = signedBytes &&
      PKCS7_verify(p7.get(), nullptr, store, signedBytes.get(), nullptr, PKCS7_BINARY) == 1;
  return Judge(signer, verified, PKCS7_R_CERTIFICATE_VERIFY_ERROR);
}

// ---- appended signatures ---------------------------------------------------------

SignatureCheck CheckAppended(const uint8_t* data, size_t size, X509_STORE* store) {
  if (size < kAppendedMagicSize + kAppendedRecordSize ||
      std::memcmp(data + size - kAppendedMagicSize, kAppendedMagic, kAppendedMagicSize) != 0)
    return Status(SignatureStatus::kNotSigned);
  // struct module_signature: algo, hash, id_type, signer_len, key_id_len, pad[3], sig_len.
  const size_t beforeMagic = size - kAppendedMagicSize - kAppendedRecordSize;
  const uint8_t* record = data + beforeMagic;
  const uint32_t signatureSize = Be32(record + 8);
  if (record[0] || record[1] || record[2] != kIdTypePkcs7 || record[3] || record[4] ||
      signatureSize == 0 || signatureSize > beforeMagic)
    return Status(SignatureStatus::kMalformed);
  const size_t contentSize = beforeMagic - signatureSize;
  if (contentSize > INT_MAX) return Status(SignatureStatus::kMalformed);  // a memory BIO's limit
  const unsigned char* der = data + contentSize;
  CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &der, static_cast<long>(signatureSize)));
  STACK_OF(CMS_SignerInfo)* infos = cms ? CMS_get0_SignerInfos(cms.get()) : nullptr;
  if (!cms || OBJ_obj2nid(CMS_get0_type(cms.get())) != NID_pkcs7_signed || CMS_is_detached(cms.get()) != 1 ||
      !infos || sk_CMS_SignerInfo_num(infos) != 1 || CMS_set1_signers_certs(cms.get(), nullptr, 0) != 1) {
    ERR_clear_error();
    return Status(SignatureStatus::kMalformed);
  }
  X509* signer = nullptr;
  CMS_SignerInfo_get0_algs(sk_CMS_SignerInfo_value(infos, 0), nullptr, &signer, nullptr, nullptr);
  if (!signer) {
    ERR_clear_error();
    return Status(SignatureStatus::kMalformed);
  }
  BioPtr content(BIO_new_mem_buf(data, static_cast<int>(contentSize)));
  const bool verified = content &&
      CMS_verify(cms.get(), nullptr, store, content.get(), nullptr, CMS_BINARY) == 1;
  return Judge(signer, verified, CMS_R_CERTIFICATE_VERIFY_ERROR);
}

}  // namespace

SignatureCheck CheckSignatureBytes(const uint8_t* data, size_t size, X509_STORE* store) {
  X509_STORE_set_purpose(store, X509_PURPOSE_ANY);
  if (size >= 2 && data[0] == 'M' && data[1] == 'Z') return CheckPe(data, size, store);
  return CheckAppended(data, size, store);
}

}  // namespace posix

SignatureCheck CheckFileSignature(const PinnedFile& file, const std::vector<std::string>& extraRoots) {
  SignatureCheck check;
  check.status = SignatureStatus::kMalformed;
  const posix::StorePtr store = posix::TrustStore(extraRoots);
  if (!store) return check;
  const int fd = static_cast<int>(file.Native());
  struct stat info;
  if (fstat(fd, &info) != 0) {
    check.systemCode = static_cast<uint32_t>(errno);
  } else if (info.st_size == 0) {
    check.status = SignatureStatus::kNotSigned;
  } else {
    const size_t size = static_cast<size_t>(info.st_size);
    void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED) {
      check.systemCode = static_cast<uint32_t>(errno);
    } else {
      check = posix::CheckSignatureBytes(static_cast<const uint8_t*>(mapped), size, store.get());
      munmap(mapped, size);
    }
  }
  return check;
}

}  // namespace platform
