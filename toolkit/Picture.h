// A picture attribute: a plain path ("skin\\logo.png"), or a file with a
// source rectangle and nine-grid corners
// ("file='skin\\btn.png' source='0,0,110,28' corner='4,4,4,4'").
#pragma once

#include <string>

#include "toolkit/Geometry.h"

namespace toolkit {

struct Picture {
  std::string file;  // empty: no picture
  bool hasSource = false;
  Rect source;       // part of the file to draw, valid when hasSource
  Rect corner;       // edges kept unscaled when the picture is stretched
};

// False, naming the offending part in `error`, for text of neither form.
bool ParsePicture(const std::string& text, Picture* picture, std::string* error);

}  // namespace toolkit
