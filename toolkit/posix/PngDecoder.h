// The Linux picture decoder: PNG files through libpng's simplified API, and
// BMP files (the skin's scroll bar bitmap) through stb_image.
#pragma once

#include "toolkit/PictureDecoder.h"

namespace toolkit {

class PngDecoder : public PictureDecoder {
 public:
  bool Decode(const std::string& bytes, Image* image, std::string* error) const override;
};

}  // namespace toolkit
