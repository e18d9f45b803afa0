// win32 backend of MD5: the system's CryptoAPI.
#include "platform/Md5.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>

namespace platform {

struct Md5::State {
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  ~State() {
    if (hash) CryptDestroyHash(hash);
    if (provider) CryptReleaseContext(provider, 0);
  }
};

Md5::Md5() : state_(new State) {
  if (CryptAcquireContextW(&state_->provider, NULL, NULL, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
    CryptCreateHash(state_->provider, CALG_MD5, 0, 0, &state_->hash);
}

Md5::~Md5() = default;

void Md5::Update(const void* data, size_t size) {
  const BYTE* bytes = static_cast<const BYTE*>(data);
  // CryptHashData takes 32-bit lengths.
  for (size_t done = 0; state_->hash && done < size;) {
    DWORD part = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
    CryptHashData(state_->hash, bytes + done, part, 0);
    done += part;
  }
}

std::array<uint8_t, 16> Md5::Final() {
  std::array<uint8_t, 16> digest{};
  DWORD length = static_cast<DWORD>(digest.size());
  if (state_->hash) CryptGetHashParam(state_->hash, HP_HASHVAL, digest.data(), &length, 0);
  return digest;
}

}  // namespace platform
