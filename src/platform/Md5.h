// MD5 (RFC 1321) from the system's crypto library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

class Md5 {
 public:
  Md5();
  ~Md5();
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;

  void Update(const void* data, size_t size);
  std::array<uint8_t, 16> Final();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform
