// How a text is laid out into lines, the same for drawing, measuring and
// the overflow check on every backend: the runs of its markup (a plain text
// is one run) in their fonts; lines ended by "{n}", "{p}" and line feeds and,
// when the text wraps, where the next piece would pass the edge, pieces being
// cut where the platform's text library lets a line break (LineBreak.h), a
// word longer than a line where a character ends;
// each line's pieces in the order they are shown, by the platform's
// bidirectional algorithm (Bidi.h) in a paragraph of the window's direction;
// and the lines placed by the text's alignment, which a right-to-left window
// mirrors. Widths come from the backend's measure.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "toolkit/Control.h"
#include "toolkit/Markup.h"
#include "toolkit/WindowLayout.h"

namespace toolkit {

// One line of text in a font: its advance and its line's ascent and height.
struct TextExtent {
  float width = 0, ascent = 0, height = 0;
};

using MeasureFunction = std::function<TextExtent(const std::wstring& text, const FontSpec& font)>;

// A piece of a line in one style and one direction, `x` from the area's left.
struct PlacedText {
  std::wstring text;  // in reading order: a right-to-left piece reads from its right end
  const FontSpec* font = nullptr;
  TextStyle style;
  bool rightToLeft = false;
  float x = 0;
  TextExtent extent;
};

struct TextLine {
  std::vector<PlacedText> pieces;  // from left to right as shown
  float width = 0, ascent = 0, height = 0;
};

struct TextBlock {
  std::vector<TextLine> lines;
  float width = 0;   // of the widest line, trailing blanks of wrapped lines left out
  float height = 0;  // of all lines
};

struct TextOptions {
  float width = 0;  // of the area; a text that wraps fills lines up to it
  bool wrap = false;
  unsigned align = kAlignLeft;  // kAlign flags, horizontal ones read, as the window means them
  bool rightToLeft = false;     // the paragraph's direction; mirrors the alignment
};

// The font a run of text is drawn in.
using RunFont = std::function<const FontSpec&(const TextStyle& style)>;

TextBlock LayOutRuns(const std::vector<TextRun>& runs, const RunFont& fontOf, const TextOptions& options,
                     const MeasureFunction& measure);
// `text` as `control` shows it in an area `width` wide in `layout`'s window.
TextBlock LayOutControlText(const Control& control, const std::wstring& text, const WindowLayout& layout,
                            float width, const MeasureFunction& measure);
// A font of the layout's table, its default, or Tahoma 12 for a layout without fonts.
const FontSpec& LayoutFont(int id, const WindowLayout& layout);
// The horizontal kAlign flag that `align` means in a window of this direction.
unsigned MirroredAlign(unsigned align, bool rightToLeft);

}  // namespace toolkit
