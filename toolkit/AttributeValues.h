// Readers for attribute values of the layouts. Each returns false for text
// that is not exactly of its form, so that a typo is reported, not guessed at.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/Geometry.h"

namespace toolkit {

bool ParseInteger(const std::string& text, int* value);
bool ParseBool(const std::string& text, bool* value);
// "#RRGGBB" (opaque) or "#AARRGGBB"; the result is 0xAARRGGBB.
bool ParseColor(const std::string& text, uint32_t* color);
// "l,t,r,b" for rectangles and edges.
bool ParseRect(const std::string& text, Rect* rect);
// "w,h".
bool ParseSize(const std::string& text, Size* size);

}  // namespace toolkit
