// The Windows picture decoder: PNG and BMP files (any format GDI+ reads)
// decoded from memory through an IStream over the bytes.
#pragma once

#include "toolkit/PictureDecoder.h"
#include "toolkit/win32/Gdiplus.h"

namespace toolkit {

class GdiplusDecoder : public PictureDecoder {
 public:
  bool Decode(const std::string& bytes, Image* image, std::string* error) const override;

 private:
  GdiplusSession session_;
};

}  // namespace toolkit
