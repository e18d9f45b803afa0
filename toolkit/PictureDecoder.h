// Turns the bytes of a picture file into an Image. Each platform brings its
// own (libpng on Linux); the portable code only holds this interface.
#pragma once

#include <string>

#include "toolkit/Image.h"

namespace toolkit {

class PictureDecoder {
 public:
  // Pictures larger than this on a side are refused before any allocation.
  static constexpr int kMaxSide = 8192;

  virtual ~PictureDecoder() = default;
  // False, with the reason in `error`, for bytes that are not a readable picture.
  virtual bool Decode(const std::string& bytes, Image* image, std::string* error) const = 0;
};

}  // namespace toolkit
