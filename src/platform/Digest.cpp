#include "platform/Digest.h"

#include <cstdio>

namespace platform {

namespace {

std::string HexDigestOf(Digest::Algorithm algorithm, const std::string& data) {
  Digest hasher(algorithm);
  hasher.Update(data.data(), data.size());
  return Digest::Hex(hasher.Final());
}

}  // namespace

std::string Digest::Hex(const std::vector<uint8_t>& digest) {
  std::string text;
  char pair[3];
  for (uint8_t byte : digest) {
    std::snprintf(pair, sizeof pair, "%.2x", byte);
    text += pair;
  }
  return text;
}

}  // namespace platform

std::string md5Hex(const std::string& data) { return platform::HexDigestOf(platform::Digest::kMd5, data); }

std::string sha256Hex(const std::string& data) { return platform::HexDigestOf(platform::Digest::kSha256, data); }
