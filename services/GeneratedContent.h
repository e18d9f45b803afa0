// Content of the download server's generated files (/gen/<size>/<name>):
// byte i of any generated file, so that a test can check what it received
// without the file existing anywhere, even at offsets beyond 4 GiB.
#pragma once

#include <cstdint>

namespace services {

inline unsigned char GeneratedByte(uint64_t position) {
  return static_cast<unsigned char>((position * 131) ^ (position >> 11) ^ (position >> 29));
}

}  // namespace services
