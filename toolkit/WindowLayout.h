// A window's layout as plain data, parsed before any window exists: its
// frame, font table and control tree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/Control.h"
#include "toolkit/Geometry.h"

namespace toolkit {

struct FontSpec {
  int id = 0;
  std::string face;
  int size = 12;  // pixels at 96 DPI
  bool bold = false, underline = false, italic = false;
};

struct WindowLayout {
  Size size;
  Rect caption;           // drag area; bottom -1 reaches the window's bottom
  Size roundCorner;
  Size minSize, maxSize;  // 0: no limit
  bool shadow = false;
  uint32_t linkColor = 0, linkHoverColor = 0;
  // The language of the window's texts as the program names it ("ja",
  // "zh-tw", "ko", "ar"...): a script several languages write in their own
  // glyph forms (Han) is drawn in a face of that language. Empty: unknown.
  std::string language;
  // Right to left (Arabic): the layout is mirrored, texts read from the right,
  // and the keyboard's order runs that way.
  bool rightToLeft = false;
  std::vector<FontSpec> fonts;
  int defaultFont = -1;   // id of the font marked default, -1 when none is
  Control root{ControlKind::kWindow};
  // The look of the scroll bars of vscrollbar layouts: the ScrollBar defaults.
  Control scrollBar{ControlKind::kScrollBar};

  // The font of a control's index, or the default one; nullptr when neither exists.
  const FontSpec* FindFont(int id) const;
};

}  // namespace toolkit
