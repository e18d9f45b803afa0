#include "toolkit/win32/Painter.h"

#include <cmath>

#include "toolkit/LayoutPass.h"

namespace toolkit {

namespace {

bool Selectable(ControlKind kind) { return kind == ControlKind::kOption || kind == ControlKind::kCheckBox; }

bool ShowsText(ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel: case ControlKind::kText: case ControlKind::kButton: case ControlKind::kOption:
    case ControlKind::kCheckBox: case ControlKind::kCombo: case ControlKind::kEdit: case ControlKind::kRichEdit:
    case ControlKind::kListLabelElement:
      return true;
    default:
      return false;
  }
}

Gdiplus::RectF Deflate(const Gdiplus::RectF& rect, const Rect& edges) {
  return Gdiplus::RectF(rect.X + edges.left, rect.Y + edges.top, std::max(rect.Width - edges.left - edges.right, 0.0f),
                        std::max(rect.Height - edges.top - edges.bottom, 0.0f));
}

// The picture of a state, falling back to a calmer state's picture.
const Picture& StatePicture(const Control& control, StateImage state) {
  const Picture* images = control.look.images;
  if (state == kImagePushed && images[kImagePushed].file.empty()) state = kImageHot;
  if (state != kImageNormal && images[state].file.empty()) state = kImageNormal;
  return images[state];
}

// The text a control shows: a combo its chosen item's, a password edit dots.
std::wstring ShownText(const Control& control) {
  if (control.kind() == ControlKind::kCombo) {
    const int index = control.state.selectedIndex;
    const auto& items = control.children();
    return index >= 0 && static_cast<size_t>(index) < items.size() ? items[index]->look.text : L"";
  }
  if (control.kind() == ControlKind::kEdit && control.state.password)
    return std::wstring(control.look.text.size(), L'\u25CF');
  return control.look.text;
}

// At the combo's far end: its right, or its left in a right-to-left window.
void PaintArrow(Gdiplus::Graphics& graphics, const Gdiplus::RectF& rect, uint32_t color, bool rightToLeft) {
  const float x = rightToLeft ? rect.X + 15 : rect.GetRight() - 15, y = rect.Y + rect.Height / 2;
  Gdiplus::Pen pen(Gdiplus::Color(static_cast<Gdiplus::ARGB>(color)), 1.5f);
  const Gdiplus::PointF points[] = {{x - 4, y - 2}, {x, y + 2}, {x + 4, y - 2}};
  graphics.DrawLines(&pen, points, 3);
}

// A ring `gap` pixels around the box, kept inside the window: a blue band
// with a white line inside, which shows on the light pages, the green
// buttons and the pictures alike, and around controls of a few pixels.
void PaintFocusMark(Gdiplus::Graphics& graphics, const Rect& box, int gap, const Rect& window) {
  const Rect ring{std::max(box.left - gap, window.left + 1), std::max(box.top - gap, window.top + 1),
                  std::min(box.right + gap, window.right - 1), std::min(box.bottom + gap, window.bottom - 1)};
  const Gdiplus::RectF rect = ToRectF(ring);
  Gdiplus::Pen line(Gdiplus::Color(255, 255, 255, 255), 1.0f);
  graphics.DrawRectangle(&line, rect.X + 1.5f, rect.Y + 1.5f, rect.Width - 3, rect.Height - 3);
  Gdiplus::Pen band(Gdiplus::Color(255, 26, 115, 232), 2.0f);
  graphics.DrawRectangle(&band, rect);
}

}  // namespace

Gdiplus::RectF ToRectF(const Rect& rect) {
  return Gdiplus::RectF(static_cast<Gdiplus::REAL>(rect.left), static_cast<Gdiplus::REAL>(rect.top),
                        static_cast<Gdiplus::REAL>(rect.Width()), static_cast<Gdiplus::REAL>(rect.Height()));
}

bool ScrollBarRects(const Control& layout, const WindowLayout& window, Rect* rail, Rect* thumb) {
  const int limit = ScrollLimit(layout);
  if (!layout.layout.vscrollbar || limit <= 0 || !layout.state.visible) return false;
  const int width = window.scrollBar.layout.width > 0 ? window.scrollBar.layout.width : 8;
  const Rect& r = layout.rect;
  const int left = window.rightToLeft ? r.left + 3 : r.right - width - 3;  // at the far side of the text
  *rail = Rect{left, r.top + layout.layout.inset.top, left + width, r.bottom - layout.layout.inset.bottom};
  const int view = rail->Height();
  const int length = std::max(view * view / (view + limit), std::min(20, view));
  const int top = rail->top + static_cast<int>(static_cast<int64_t>(view - length) * layout.state.scrollY / limit);
  *thumb = Rect{rail->left, top, rail->right, top + length};
  return true;
}

Painter::Painter(PictureCache& pictures, TextPainter& text) : pictures_(pictures), text_(text) {}

Painter::~Painter() = default;

// The copies of every picture drawn are kept, up to a bound: beyond it
// they are all dropped and made again as they are drawn (the carousel's
// frames would otherwise keep a copy of each).
Gdiplus::Bitmap* Painter::BitmapOf(const PictureView& view, const Rect& part) {
  const auto key = std::make_tuple(view.serial, part.left, part.top, part.right, part.bottom);
  const auto found = bitmaps_.find(key);
  if (found != bitmaps_.end()) return found->second.get();
  const size_t bytes = static_cast<size_t>(part.Width()) * part.Height() * 4;
  if (bitmapBytes_ + bytes > kMaxBitmapBytes) {
    bitmaps_.clear();
    bitmapBytes_ = 0;
  }
  std::unique_ptr<Gdiplus::Bitmap> bitmap = BitmapOfImage(*view.image, part);
  if (!bitmap) return nullptr;
  bitmapBytes_ += bytes;
  return (bitmaps_[key] = std::move(bitmap)).get();
}

// Nine parts: the corners at their own size, the edges stretched along one
// axis, the middle along both. Each part is a bitmap of its own, tiled by
// flipping, so that the filter never blends in pixels of a neighbouring part.
bool Painter::DrawPicture(Gdiplus::Graphics& graphics, const Picture& picture, const Gdiplus::RectF& dest) {
  PictureView view;
  if (picture.file.empty() || dest.Width <= 0 || dest.Height <= 0 || !pictures_.Resolve(picture, &view)) return false;
  Gdiplus::ImageAttributes attributes;
  attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
  const Rect& s = view.source;
  // Corners larger than the picture or the destination shrink to fit.
  const auto edges = [](int before, int after, int source, float target, float out[4], int in[4], float start,
                         int from) {
    before = std::max(std::min(before, source), 0);
    after = std::max(std::min(after, source - before), 0);
    const float fit = before + after > target ? target / (before + after) : 1.0f;
    out[0] = start, out[1] = start + before * fit, out[2] = start + target - after * fit, out[3] = start + target;
    in[0] = from, in[1] = from + before, in[2] = from + source - after, in[3] = from + source;
  };
  float dx[4], dy[4];
  int sx[4], sy[4];
  edges(view.corner.left, view.corner.right, s.Width(), dest.Width, dx, sx, dest.X, s.left);
  edges(view.corner.top, view.corner.bottom, s.Height(), dest.Height, dy, sy, dest.Y, s.top);
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 3; ++column) {
      const Gdiplus::RectF part(dx[column], dy[row], dx[column + 1] - dx[column], dy[row + 1] - dy[row]);
      const int width = sx[column + 1] - sx[column], height = sy[row + 1] - sy[row];
      if (part.Width <= 0 || part.Height <= 0 || width <= 0 || height <= 0) continue;
      Gdiplus::Bitmap* piece = BitmapOf(view, Rect{sx[column], sy[row], sx[column + 1], sy[row + 1]});
      if (!piece) return false;
      graphics.DrawImage(piece, part, 0, 0, static_cast<Gdiplus::REAL>(width), static_cast<Gdiplus::REAL>(height),
                         Gdiplus::UnitPixel, &attributes);
    }
  return true;
}

void Painter::Paint(Gdiplus::Graphics& graphics, const WindowLayout& layout, const PaintState& state,
                    std::vector<LinkBox>* links) {
  std::vector<LinkBox> drawn;
  if (!links) links = &drawn;
  PaintControl(graphics, layout.root, layout, state, links);
  if (!state.focus) return;
  if (state.focusLink < 0) return PaintFocusMark(graphics, state.focus->rect, 3, layout.root.rect);
  for (const LinkBox& link : *links)
    if (link.text == state.focus && link.link == state.focusLink) PaintFocusMark(graphics, link.box, 2, layout.root.rect);
}

std::unique_ptr<Gdiplus::Bitmap> Painter::Render(const WindowLayout& layout, Size size, const PaintState& state,
                                                 float scale, std::vector<LinkBox>* links) {
  auto bitmap = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(std::lround(size.width * scale)),
                                                  static_cast<INT>(std::lround(size.height * scale)),
                                                  PixelFormat32bppPARGB);
  Gdiplus::Graphics graphics(bitmap.get());
  PrepareGraphics(graphics, scale);
  graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
  Paint(graphics, layout, state, links);
  return bitmap;
}

void Painter::PaintControl(Gdiplus::Graphics& graphics, const Control& control, const WindowLayout& layout,
                           const PaintState& state, std::vector<LinkBox>* links) {
  if (!control.state.visible || control.rect.Width() <= 0 || control.rect.Height() <= 0) return;
  const Gdiplus::RectF rect = ToRectF(control.rect);
  const ControlLook& look = control.look;
  if (look.bkColor) {
    Gdiplus::SolidBrush brush(Gdiplus::Color(static_cast<Gdiplus::ARGB>(look.bkColor)));
    graphics.FillRectangle(&brush, rect);
  }
  DrawPicture(graphics, look.bkImage, rect);
  PaintStateImage(graphics, control, state, rect);
  if (control.kind() == ControlKind::kProgress && control.state.max > control.state.min) {
    const float span = static_cast<float>(control.state.max - control.state.min);
    const float done = std::min(std::max((control.state.value - control.state.min) / span, 0.0f), 1.0f);
    const float filled = std::round(rect.Width * done);  // from the side the window's texts start at
    const float x = layout.rightToLeft ? rect.GetRight() - filled : rect.X;
    DrawPicture(graphics, look.foreImage, Gdiplus::RectF(x, rect.Y, filled, rect.Height));
  }
  if (look.borderSize > 0 && look.borderColor) {
    const float half = look.borderSize / 2.0f;
    Gdiplus::Pen pen(Gdiplus::Color(static_cast<Gdiplus::ARGB>(look.borderColor)), static_cast<float>(look.borderSize));
    graphics.DrawRectangle(&pen, rect.X + half, rect.Y + half, rect.Width - look.borderSize, rect.Height - look.borderSize);
  }
  if (ShowsText(control.kind())) PaintText(graphics, control, layout, state, links);
  if (control.kind() == ControlKind::kCombo && look.images[kImageNormal].file.empty())
    PaintArrow(graphics, rect, look.textColor ? look.textColor : 0xFF606060u, layout.rightToLeft);
  if (!HoldsChildren(control.kind()) || control.kind() == ControlKind::kCombo) return;
  const Gdiplus::GraphicsState saved = graphics.Save();
  graphics.IntersectClip(rect);
  for (bool floating : {false, true})  // floating children lie above the others
    for (const auto& child : control.children())
      if (child->layout.floating == floating) PaintControl(graphics, *child, layout, state, links);
  graphics.Restore(saved);
  PaintScrollBar(graphics, control, layout);
}

void Painter::PaintStateImage(Gdiplus::Graphics& graphics, const Control& control, const PaintState& state,
                              const Gdiplus::RectF& rect) {
  StateImage which = kImageNormal;
  if (!control.state.enabled) which = kImageDisabled;
  else if (state.pushed == &control) which = kImagePushed;
  else if (state.hot == &control) which = kImageHot;
  DrawPicture(graphics, StatePicture(control, which), rect);
  if (Selectable(control.kind()) && control.state.selected)
    DrawPicture(graphics, control.look.images[kImageSelected], rect);
}

void Painter::PaintText(Gdiplus::Graphics& graphics, const Control& control, const WindowLayout& layout,
                        const PaintState& state, std::vector<LinkBox>* links) {
  const std::wstring text = ShownText(control);
  if (text.empty()) return;
  const Gdiplus::RectF rect = ToRectF(control.rect);
  const Gdiplus::GraphicsState saved = graphics.Save();
  graphics.IntersectClip(rect);
  text_.Draw(graphics, control, text, layout, Deflate(rect, ShownInset(control, layout.rightToLeft)), state.link, links);
  graphics.Restore(saved);
}

void Painter::PaintScrollBar(Gdiplus::Graphics& graphics, const Control& control, const WindowLayout& layout) {
  Rect rail, thumb;
  if (!ScrollBarRects(control, layout, &rail, &thumb)) return;
  if (!DrawPicture(graphics, layout.scrollBar.look.bkImage, ToRectF(rail))) {
    Gdiplus::SolidBrush brush(Gdiplus::Color(40, 0, 0, 0));
    graphics.FillRectangle(&brush, ToRectF(rail));
  }
  if (!DrawPicture(graphics, layout.scrollBar.look.thumbImage, ToRectF(thumb))) {
    Gdiplus::SolidBrush brush(Gdiplus::Color(140, 0, 0, 0));
    graphics.FillRectangle(&brush, ToRectF(thumb));
  }
}

}  // namespace toolkit
