// Message digests (MD5, SHA-256) from the system's crypto library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class Digest {
 public:
  enum Algorithm { kMd5, kSha256 };

  explicit Digest(Algorithm algorithm);
  ~Digest();
  Digest(const Digest&) = delete;
  Digest& operator=(const Digest&) = delete;

  void Update(const void* data, size_t size);
  // Always SizeOf(algorithm) bytes: all zero when the system could not hash,
  // so that a failure never matches an expected value.
  std::vector<uint8_t> Final();

  static size_t SizeOf(Algorithm algorithm) { return algorithm == kSha256 ? 32 : 16; }
  // The bytes as lower-case hex digits, two per byte.
  static std::string Hex(const std::vector<uint8_t>& digest);

 private:
  struct State;
  const Algorithm algorithm_;
  std::unique_ptr<State> state_;
};

}  // namespace platform

// MD5 of the bytes as 32 lower-case hex digits.
std::string md5Hex(const std::string& data);
// SHA-256 of the bytes as 64 lower-case hex digits.
std::string sha256Hex(const std::string& data);
