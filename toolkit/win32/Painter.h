// Draws a window's control tree with GDI+, in tree order, each visible
// control as: background colour, background picture, the picture of its
// state (normal, hot, pushed, disabled; selected for options and check
// boxes), the progress of a progress bar (from the right in a right-to-left
// window), its border, its text; then its children clipped to it and, for a
// scrolling layout, its bar. Last, above everything, the focus mark around
// the focused control or link.
// Coordinates are layout pixels; the Graphics' transform scales them.
#pragma once

#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "toolkit/PictureCache.h"
#include "toolkit/WindowLayout.h"
#include "toolkit/win32/Gdiplus.h"
#include "toolkit/win32/TextPainter.h"

namespace toolkit {

// The controls the user is touching.
struct PaintState {
  const Control* hot = nullptr;
  const Control* pushed = nullptr;
  const Control* focus = nullptr;  // shown with a focus mark
  int focusLink = -1;              // the focused link of `focus`; -1: the control
  TextHover link;
};

// The rail and the thumb of a scrolling layout's bar, in layout pixels, at
// its right (its left in a right-to-left window); false when its content
// fits and no bar is shown.
bool ScrollBarRects(const Control& layout, const WindowLayout& window, Rect* rail, Rect* thumb);

Gdiplus::RectF ToRectF(const Rect& rect);

class Painter {
 public:
  Painter(PictureCache& pictures, TextPainter& text);
  ~Painter();
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;

  // Draws the layout, adding the boxes of the links drawn to `links`.
  void Paint(Gdiplus::Graphics& graphics, const WindowLayout& layout, const PaintState& state,
             std::vector<LinkBox>* links);
  // The layout drawn at `scale` into a new bitmap of `size` layout pixels,
  // transparent where nothing is drawn.
  std::unique_ptr<Gdiplus::Bitmap> Render(const WindowLayout& layout, Size size, const PaintState& state, float scale,
                                          std::vector<LinkBox>* links = nullptr);
  // A picture stretched over `dest`, its corners kept unscaled; false when
  // it cannot be drawn.
  bool DrawPicture(Gdiplus::Graphics& graphics, const Picture& picture, const Gdiplus::RectF& dest);

 private:
  void PaintControl(Gdiplus::Graphics& graphics, const Control& control, const WindowLayout& layout,
                    const PaintState& state, std::vector<LinkBox>* links);
  void PaintStateImage(Gdiplus::Graphics& graphics, const Control& control, const PaintState& state,
                       const Gdiplus::RectF& rect);
  void PaintText(Gdiplus::Graphics& graphics, const Control& control, const WindowLayout& layout,
                 const PaintState& state, std::vector<LinkBox>* links);
  void PaintScrollBar(Gdiplus::Graphics& graphics, const Control& control, const WindowLayout& layout);
  // The GDI+ copy of a part of a cached image.
  Gdiplus::Bitmap* BitmapOf(const PictureView& view, const Rect& part);

  PictureCache& pictures_;
  TextPainter& text_;
  static constexpr size_t kMaxBitmapBytes = 64u << 20;
  // By the image's serial and the part.
  std::map<std::tuple<uint64_t, int, int, int, int>, std::unique_ptr<Gdiplus::Bitmap>> bitmaps_;
  size_t bitmapBytes_ = 0;
};

}  // namespace toolkit
