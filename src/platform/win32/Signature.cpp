// win32 backend of the signature check: WinVerifyTrust with the full chain
// (no hash-only flag), then the signer from the trust provider's state.
#include "platform/Signature.h"

#include "platform/PinnedFile.h"

#include "platform/win32/Win32Common.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <algorithm>

namespace platform {

namespace {

std::string Sha256(const BYTE* bytes, DWORD size) {
  BYTE digest[32];
  DWORD length = sizeof digest;
  if (!CryptHashCertificate2(L"SHA256", 0, nullptr, bytes, size, digest, &length)) return std::string();
  return std::string(reinterpret_cast<const char*>(digest), length);
}

void NameSigner(PCCERT_CONTEXT signer, SignatureCheck* check) {
  check->signerCertSha256 = Sha256(signer->pbCertEncoded, signer->cbCertEncoded);
  BYTE* key = nullptr;
  DWORD keySize = 0;
  if (CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, &signer->pCertInfo->SubjectPublicKeyInfo,
                          CRYPT_ENCODE_ALLOC_FLAG, nullptr, &key, &keySize)) {
    check->signerKeySha256 = Sha256(key, keySize);
    LocalFree(key);
  }
}

// The signer's hashes, and whether its chain ends in one of `roots`.
bool ReadSigner(HANDLE state, const std::vector<std::string>& roots, SignatureCheck* check) {
  CRYPT_PROVIDER_DATA* data = state ? WTHelperProvDataFromStateData(state) : nullptr;
  CRYPT_PROVIDER_SGNR* signer = data ? WTHelperGetProvSignerFromChain(data, 0, FALSE, 0) : nullptr;
  if (!signer || signer->csCertChain == 0 || !signer->pasCertChain[0].pCert) return false;
  NameSigner(signer->pasCertChain[0].pCert, check);
  PCCERT_CONTEXT top = signer->pasCertChain[signer->csCertChain - 1].pCert;
  const std::string topDer(reinterpret_cast<const char*>(top->pbCertEncoded), top->cbCertEncoded);
  return std::find(roots.begin(), roots.end(), topDer) != roots.end();
}

SignatureStatus StatusOf(LONG result, DWORD lastError, bool chainEndsInExtraRoot) {
  switch (static_cast<HRESULT>(result)) {
    case ERROR_SUCCESS: return SignatureStatus::kValid;
    case TRUST_E_NOSIGNATURE:
      return lastError == static_cast<DWORD>(TRUST_E_NOSIGNATURE) ||
                     lastError == static_cast<DWORD>(TRUST_E_SUBJECT_FORM_UNKNOWN) ||
                     lastError == static_cast<DWORD>(TRUST_E_PROVIDER_UNKNOWN)
                 ? SignatureStatus::kNotSigned
                 : SignatureStatus::kMalformed;
    case TRUST_E_BAD_DIGEST: return SignatureStatus::kBadDigest;
    case CERT_E_UNTRUSTEDROOT:
      return chainEndsInExtraRoot ? SignatureStatus::kValid : SignatureStatus::kUntrusted;
    case TRUST_E_EXPLICIT_DISTRUST:
    case TRUST_E_SUBJECT_NOT_TRUSTED:
    case CRYPT_E_SECURITY_SETTINGS:
    case CERT_E_CHAINING:
    case CERT_E_EXPIRED:
    case CERT_E_WRONG_USAGE:
    case CERT_E_UNTRUSTEDTESTROOT:
    case TRUST_E_CERT_SIGNATURE: return SignatureStatus::kUntrusted;
    default: return SignatureStatus::kMalformed;
  }
}

}  // namespace

SignatureCheck CheckFileSignature(const PinnedFile& held, const std::vector<std::string>& extraRoots) {
  WINTRUST_FILE_INFO file = {};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = held.Path().c_str();
  file.hFile = reinterpret_cast<HANDLE>(held.Native());  // read through the held handle, not the path
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  // The whole chain and the code-signing usage are checked; revocation is
  // not (no network is needed, and the publisher pin decides who signed).
  data.dwProvFlags = WTD_REVOCATION_CHECK_NONE;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG result = WinVerifyTrust(static_cast<HWND>(nullptr), &action, &data);
  const DWORD lastError = GetLastError();
  SignatureCheck check;
  const bool extraRoot = ReadSigner(data.hWVTStateData, extraRoots, &check);
  check.systemCode = static_cast<uint32_t>(result);
  check.status = StatusOf(result, lastError, extraRoot);
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(nullptr), &action, &data);
  return check;
}

}  // namespace platform
