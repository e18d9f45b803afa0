// posix backend of MD5: OpenSSL's digest interface.
#include "platform/Md5.h"

#include <openssl/evp.h>

namespace platform {

struct Md5::State {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  ~State() { EVP_MD_CTX_free(context); }
};

Md5::Md5() : state_(new State) { EVP_DigestInit_ex(state_->context, EVP_md5(), nullptr); }

Md5::~Md5() = default;

void Md5::Update(const void* data, size_t size) { EVP_DigestUpdate(state_->context, data, size); }

std::array<uint8_t, 16> Md5::Final() {
  std::array<uint8_t, 16> digest{};
  unsigned int length = 0;
  EVP_DigestFinal_ex(state_->context, digest.data(), &length);
  return digest;
}

}  // namespace platform
