#include "toolkit/WindowLayout.h"

namespace toolkit {

const FontSpec* WindowLayout::FindFont(int id) const {
  for (int wanted : {id, defaultFont})
    for (const FontSpec& font : fonts)
      if (font.id == wanted && wanted >= 0) return &font;
  return nullptr;
}

}  // namespace toolkit
