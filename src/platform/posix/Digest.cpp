// posix backend of the message digests: OpenSSL's digest interface.
#include "platform/Digest.h"

#include <openssl/evp.h>

namespace platform {

struct Digest::State {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  ~State() { EVP_MD_CTX_free(context); }
};

Digest::Digest(Algorithm algorithm) : algorithm_(algorithm), state_(new State) {
  EVP_DigestInit_ex(state_->context, algorithm == kSha256 ? EVP_sha256() : EVP_md5(), nullptr);
}

Digest::~Digest() = default;

void Digest::Update(const void* data, size_t size) { EVP_DigestUpdate(state_->context, data, size); }

std::vector<uint8_t> Digest::Final() {
  std::vector<uint8_t> digest(SizeOf(algorithm_));
  unsigned int length = 0;
  if (!EVP_DigestFinal_ex(state_->context, digest.data(), &length)) digest.assign(digest.size(), 0);
  return digest;
}

}  // namespace platform
