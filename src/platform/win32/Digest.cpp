// win32 backend of the message digests: the system's CNG (BCrypt). bcrypt.dll
// is delay-loaded, so the first hash loads it from System32.
#include "platform/Digest.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>

namespace platform {

namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

struct Digest::State {
  BCRYPT_ALG_HANDLE provider = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool failed = false;
  ~State() {
    if (hash) BCryptDestroyHash(hash);
    if (provider) BCryptCloseAlgorithmProvider(provider, 0);
  }
};

Digest::Digest(Algorithm algorithm) : algorithm_(algorithm), state_(new State) {
  const wchar_t* name = algorithm == kSha256 ? BCRYPT_SHA256_ALGORITHM : BCRYPT_MD5_ALGORITHM;
  // Since Windows 7 CNG keeps the hash object itself when given no buffer.
  state_->failed = !Succeeded(BCryptOpenAlgorithmProvider(&state_->provider, name, nullptr, 0)) ||
                   !Succeeded(BCryptCreateHash(state_->provider, &state_->hash, nullptr, 0, nullptr, 0, 0));
}

Digest::~Digest() = default;

void Digest::Update(const void* data, size_t size) {
  UCHAR* bytes = static_cast<UCHAR*>(const_cast<void*>(data));
  // BCryptHashData takes 32-bit lengths.
  for (size_t done = 0; !state_->failed && done < size;) {
    const ULONG part = static_cast<ULONG>(std::min<size_t>(size - done, 1u << 30));
    state_->failed = !Succeeded(BCryptHashData(state_->hash, bytes + done, part, 0));
    done += part;
  }
}

std::vector<uint8_t> Digest::Final() {
  std::vector<uint8_t> digest(SizeOf(algorithm_));
  if (state_->failed ||
      !Succeeded(BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0)))
    digest.assign(digest.size(), 0);
  return digest;
}

}  // namespace platform
