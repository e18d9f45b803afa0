// A decoded picture: rows of straight (not premultiplied) RGBA bytes, top row first.
#pragma once

#include <cstdint>
#include <vector>

namespace toolkit {

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4 bytes
};

}  // namespace toolkit
