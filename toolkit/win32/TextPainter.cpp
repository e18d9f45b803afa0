#include "toolkit/win32/TextPainter.h"

#include <easylogging++.h>

#include <algorithm>
#include <cmath>

#include "platform/Platform.h"
#include "toolkit/LineBreak.h"
#include "toolkit/Markup.h"

namespace toolkit {

namespace {

enum Script { kLatin, kHan, kHangul, kThai, kDevanagari, kArabic, kScripts };

Script ScriptOfChar(wchar_t c) {
  if (c >= 0x0600 && c <= 0x08FF) return kArabic;
  if (c >= 0x0900 && c <= 0x097F) return kDevanagari;
  if (c >= 0x0E00 && c <= 0x0E7F) return kThai;
  if ((c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) || (c >= 0xAC00 && c <= 0xD7AF)) return kHangul;
  if (IsIdeograph(c)) return kHan;
  return kLatin;
}

// The first script of the text other than Latin; Latin when there is none.
Script ScriptOf(const std::wstring& text) {
  for (wchar_t c : text)
    if (ScriptOfChar(c) != kLatin) return ScriptOfChar(c);
  return kLatin;
}

bool IsRtlChar(wchar_t c) { return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFE); }

// A text with right-to-left letters flows from the right when laid out
// piece by piece; GDI+ orders the letters within each piece.
bool IsRtl(const std::wstring& text) {
  for (wchar_t c : text)
    if (IsRtlChar(c)) return true;
  return false;
}

// Faces tried after the layout's own, by script: Windows' faces first, then
// those of Wine and the Linux font packages.
const std::vector<std::wstring>& ScriptFaces(Script script) {
  static const std::vector<std::wstring> faces[kScripts] = {
      {L"Tahoma", L"Segoe UI", L"Arial", L"Liberation Sans", L"DejaVu Sans"},
      {L"Microsoft YaHei", L"Meiryo UI", L"Meiryo", L"MS UI Gothic", L"SimSun", L"Noto Sans CJK SC",
       L"Noto Sans CJK JP", L"WenQuanYi Micro Hei", L"Droid Sans Fallback", L"Noto Serif CJK SC"},
      {L"Malgun Gothic", L"Gulim", L"Batang", L"Noto Sans CJK KR", L"WenQuanYi Micro Hei", L"Droid Sans Fallback",
       L"Noto Serif CJK KR"},
      {L"Tahoma", L"Leelawadee UI", L"Leelawadee", L"Garuda", L"Loma", L"Noto Sans Thai UI", L"Noto Sans Thai",
       L"Noto Looped Thai", L"Noto Serif Thai"},
      {L"Nirmala UI", L"Mangal", L"Lohit Devanagari", L"Noto Sans Devanagari UI", L"Noto Sans Devanagari",
       L"Noto Serif Devanagari", L"FreeSans"},
      {L"Tahoma", L"Segoe UI", L"Arial", L"Noto Sans Arabic UI", L"Noto Naskh Arabic", L"DejaVu Sans"},
  };
  return faces[script];
}

// A serif face keeps to serif faces where it can.
std::vector<std::wstring> Alternatives(const std::wstring& face) {
  if (face.find(L"Times") != std::wstring::npos || face.find(L"Roman") != std::wstring::npos)
    return {L"Liberation Serif", L"Nimbus Roman", L"DejaVu Serif"};
  return {};
}

bool FamilyExists(const std::wstring& face) {
  Gdiplus::FontFamily family(face.c_str());
  return family.IsAvailable();
}

// The system's sans serif face, for text no listed face covers.
std::wstring GenericFace() {
  Gdiplus::GpFontFamily* generic = nullptr;
  WCHAR name[LF_FACESIZE] = {0};
  if (Gdiplus::DllExports::GdipGetGenericFontFamilySansSerif(&generic) != Gdiplus::Ok || !generic) return L"Arial";
  Gdiplus::DllExports::GdipGetFamilyName(generic, name, LANG_NEUTRAL);
  return name;
}

Gdiplus::Color ColorOf(uint32_t argb) { return Gdiplus::Color(static_cast<Gdiplus::ARGB>(argb)); }

// The format of all text: typographic (no padding around the glyphs, so
// that widths add up), trailing spaces counted, one line unless wrapping.
// No reading direction is set: GDI+ orders right-to-left runs by itself, and
// near and far stay left and right as the layout means them (Wine would
// otherwise place them differently from Windows).
void SetUpFormat(Gdiplus::StringFormat* format, bool wrap) {
  INT flags = Gdiplus::StringFormatFlagsMeasureTrailingSpaces | Gdiplus::StringFormatFlagsNoClip;
  if (!wrap) flags |= Gdiplus::StringFormatFlagsNoWrap;
  format->SetFormatFlags(flags);
  format->SetTrimming(Gdiplus::StringTrimmingNone);
}

Gdiplus::StringAlignment Horizontal(unsigned align) {
  if (align & kAlignCenter) return Gdiplus::StringAlignmentCenter;
  return align & kAlignRight ? Gdiplus::StringAlignmentFar : Gdiplus::StringAlignmentNear;
}

Gdiplus::StringAlignment Vertical(unsigned align) {
  if (align & kAlignVCenter) return Gdiplus::StringAlignmentCenter;
  return align & kAlignBottom ? Gdiplus::StringAlignmentFar : Gdiplus::StringAlignmentNear;
}

}  // namespace

const FontSpec& LayoutFont(int id, const WindowLayout& layout) {
  static const FontSpec kSystem{0, "Tahoma", 12};
  const FontSpec* font = layout.FindFont(id);
  return font ? *font : kSystem;
}

void PrepareGraphics(Gdiplus::Graphics& graphics, float scale) {
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
  graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
  graphics.SetPageUnit(Gdiplus::UnitPixel);
  graphics.ScaleTransform(scale, scale);
}

struct TextPainter::Piece {
  std::wstring text;
  const Font* font = nullptr;
  uint32_t color = 0;
  int link = -1;
  float x = 0, width = 0;
};

struct TextPainter::Line {
  std::vector<Piece> pieces;
  float width = 0, ascent = 0, height = 0;
};

TextPainter::TextPainter() : probe_(CreateCompatibleDC(nullptr)) {}

TextPainter::~TextPainter() {
  fonts_.clear();  // before the session ends
  if (probe_) DeleteDC(probe_);
}

// GDI answers which characters the face's own character map holds (font
// links left out); GDI+ would draw a box for the others.
const std::vector<WCRANGE>& TextPainter::Ranges(const std::wstring& face) {
  const auto found = ranges_.find(face);
  if (found != ranges_.end()) return found->second;
  std::vector<WCRANGE>& ranges = ranges_[face];
  HFONT font = probe_ ? CreateFontW(-20, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face.c_str())
                      : nullptr;
  if (!font) return ranges;
  HGDIOBJ old = SelectObject(probe_, font);
  std::vector<BYTE> buffer(GetFontUnicodeRanges(probe_, nullptr));
  auto* set = reinterpret_cast<GLYPHSET*>(buffer.data());
  if (!buffer.empty() && GetFontUnicodeRanges(probe_, set) != 0) ranges.assign(set->ranges, set->ranges + set->cRanges);
  SelectObject(probe_, old);
  DeleteObject(font);
  return ranges;
}

std::wstring TextPainter::Uncovered(const std::wstring& face, const std::wstring& text) {
  const std::vector<WCRANGE>& ranges = Ranges(face);
  std::wstring missing;
  for (wchar_t c : text) {
    if (c <= L' ' || (c >= 0x200B && c <= 0x200F)) continue;
    const bool covered = std::any_of(ranges.begin(), ranges.end(), [c](const WCRANGE& range) {
      return c >= range.wcLow && c < range.wcLow + range.cGlyphs;
    });
    if (!covered && missing.find(c) == std::wstring::npos) missing += c;
  }
  return missing;
}

// Logged once per control and text, so that a check of the log finds text
// drawn as empty boxes.
void TextPainter::CheckGlyphs(const Control& control, const std::wstring& face, const std::wstring& text) {
  const std::wstring missing = Uncovered(face, text);
  if (missing.empty() || !reported_.emplace(control.name(), text).second) return;
  LOG(WARNING) << " Missing glyphs " << control.name() << ": \"" << platform::WideToUtf8(missing) << "\" in "
               << platform::WideToUtf8(face) << ", text \"" << platform::WideToUtf8(text) << "\"";
}

std::wstring TextPainter::ResolveFace(const std::string& face, const std::wstring& text) {
  const Script script = ScriptOf(text);
  const auto key = std::make_pair(face, static_cast<int>(script));
  const auto found = faces_.find(key);
  if (found != faces_.end()) return found->second;
  const std::wstring wide = platform::Utf8ToWide(face);
  std::vector<std::wstring> candidates{wide};
  for (const auto& list : {Alternatives(wide), ScriptFaces(script), ScriptFaces(kLatin)})
    candidates.insert(candidates.end(), list.begin(), list.end());
  // The first face that exists and covers the text; else the first that
  // exists, so that at least the text's other characters draw.
  std::wstring existing;
  for (const std::wstring& candidate : candidates) {
    if (!FamilyExists(candidate)) continue;
    if (Uncovered(candidate, text).empty()) return faces_[key] = candidate;
    if (existing.empty()) existing = candidate;
  }
  return faces_[key] = existing.empty() ? GenericFace() : existing;
}

const TextPainter::Font& TextPainter::FontFor(const FontSpec& spec, const std::wstring& text, bool underline) {
  const std::wstring face = ResolveFace(spec.face, text);
  const int style = (spec.bold ? Gdiplus::FontStyleBold : 0) | (spec.italic ? Gdiplus::FontStyleItalic : 0) |
                    (spec.underline || underline ? Gdiplus::FontStyleUnderline : 0);
  Font& font = fonts_[std::make_tuple(face, spec.size, style)];
  if (font.font) return font;
  font.family = std::make_unique<Gdiplus::FontFamily>(face.c_str());
  font.font = std::make_unique<Gdiplus::Font>(font.family.get(), static_cast<Gdiplus::REAL>(spec.size), style,
                                              Gdiplus::UnitPixel);
  const float em = std::max<float>(font.family->GetEmHeight(style), 1.0f);
  font.ascent = font.family->GetCellAscent(style) * spec.size / em;
  font.lineHeight = font.family->GetLineSpacing(style) * spec.size / em;
  return font;
}

float TextPainter::Width(Gdiplus::Graphics& graphics, const std::wstring& text, const Font& font) {
  if (text.empty()) return 0;
  Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
  SetUpFormat(&format, false);
  Gdiplus::RectF box;
  graphics.MeasureString(text.c_str(), static_cast<INT>(text.size()), font.font.get(), Gdiplus::PointF(0, 0),
                         &format, &box);
  return box.Width;
}

Size TextPainter::Measure(const std::wstring& text, const FontSpec& spec, float scale) {
  Gdiplus::Bitmap surface(1, 1, PixelFormat32bppPARGB);
  Gdiplus::Graphics graphics(&surface);
  PrepareGraphics(graphics, scale);
  const Font& font = FontFor(spec, text);
  return Size{static_cast<int>(std::ceil(Width(graphics, text, font))), static_cast<int>(std::ceil(font.lineHeight))};
}

int TextPainter::MeasureWrapped(const std::wstring& text, const FontSpec& spec, int width, float scale) {
  if (text.empty() || width <= 0) return 0;
  Gdiplus::Bitmap surface(1, 1, PixelFormat32bppPARGB);
  Gdiplus::Graphics graphics(&surface);
  PrepareGraphics(graphics, scale);
  Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
  SetUpFormat(&format, true);
  const Gdiplus::RectF area(0, 0, static_cast<Gdiplus::REAL>(width), 1e6f);
  Gdiplus::RectF box;
  graphics.MeasureString(text.c_str(), static_cast<INT>(text.size()), FontFor(spec, text).font.get(), area, &format,
                         &box);
  return static_cast<int>(std::ceil(box.Height));
}

void TextPainter::Draw(Gdiplus::Graphics& graphics, const Control& control, const std::wstring& text,
                       const WindowLayout& layout, const Gdiplus::RectF& area, const TextHover& hover,
                       std::vector<LinkBox>* links) {
  if (text.empty() || area.Width <= 0 || area.Height <= 0) return;
  uint32_t color = control.look.textColor ? control.look.textColor : 0xFF000000u;
  if (!control.state.enabled) color = control.look.disabledTextColor ? control.look.disabledTextColor : 0xFFA0A0A0u;
  if (control.look.markup) {
    DrawMarkup(graphics, control, text, layout, color, area, hover, links);
    return;
  }
  const FontSpec& spec = LayoutFont(control.look.font, layout);
  CheckGlyphs(control, ResolveFace(spec.face, text), text);
  DrawPlain(graphics, text, spec, color, area, control.look.align, control.look.multiline, control.look.endEllipsis);
}

void TextPainter::DrawPlain(Gdiplus::Graphics& graphics, const std::wstring& text, const FontSpec& spec,
                            uint32_t color, const Gdiplus::RectF& area, unsigned align, bool multiline,
                            bool ellipsis) {
  Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
  SetUpFormat(&format, multiline);
  format.SetAlignment(Horizontal(align));
  format.SetLineAlignment(Vertical(align));
  if (ellipsis) format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
  Gdiplus::SolidBrush brush(ColorOf(color));
  const Font& font = FontFor(spec, text);
  graphics.DrawString(text.c_str(), static_cast<INT>(text.size()), font.font.get(), area, &format, &brush);
}

// Markup is laid out piece by piece: each run in its own font and colour,
// lines broken at "{n}", "{p}" and, for multi-line texts, where the next
// piece would pass the right edge. A right-to-left text flows from the right.
std::vector<TextPainter::Line> TextPainter::LayOut(Gdiplus::Graphics& graphics, const Control& control,
                                                   const std::wstring& text, const WindowLayout& layout,
                                                   float width, uint32_t color, const TextHover& hover) {
  std::vector<Line> lines(1);
  for (const TextRun& run : ParseMarkup(text).runs) {
    const FontSpec& spec = LayoutFont(run.style.font >= 0 ? run.style.font : control.look.font, layout);
    if (run.kind != TextRun::Kind::kText) {  // an empty line still takes the font's height
      const Font& font = FontFor(spec, L"");
      Line& line = lines.back();
      line.ascent = std::max(line.ascent, font.ascent);
      line.height = std::max(line.height, font.lineHeight);
      if (run.kind == TextRun::Kind::kParagraph) line.height += font.lineHeight / 2;
      lines.emplace_back();
      continue;
    }
    const bool link = run.style.link >= 0;
    const bool hovered = link && hover.text == &control && hover.link == run.style.link;
    const Font& font = FontFor(spec, run.text, run.style.underline || link);
    CheckGlyphs(control, ResolveFace(spec.face, run.text), run.text);
    uint32_t pieceColor = run.style.hasColor ? run.style.color : color;
    if (link && layout.linkColor) pieceColor = hovered && layout.linkHoverColor ? layout.linkHoverColor : layout.linkColor;
    const std::vector<std::wstring> pieces =
        control.look.multiline ? BreakPieces(run.text) : std::vector<std::wstring>{run.text};
    for (const std::wstring& piece : pieces) {
      const float pieceWidth = Width(graphics, piece, font);
      const size_t inkEnd = piece.find_last_not_of(L' ') + 1;  // trailing spaces may pass the edge
      const float inkWidth = inkEnd == piece.size() ? pieceWidth : Width(graphics, piece.substr(0, inkEnd), font);
      Line* line = &lines.back();
      if (control.look.multiline && !line->pieces.empty() && line->width + inkWidth > width) {
        lines.emplace_back();
        line = &lines.back();
      }
      line->pieces.push_back(Piece{piece, &font, pieceColor, run.style.link, line->width, pieceWidth});
      line->width += pieceWidth;
      line->ascent = std::max(line->ascent, font.ascent);
      line->height = std::max(line->height, font.lineHeight);
    }
  }
  return lines;
}

void TextPainter::DrawMarkup(Gdiplus::Graphics& graphics, const Control& control, const std::wstring& text,
                             const WindowLayout& layout, uint32_t color, const Gdiplus::RectF& area,
                             const TextHover& hover, std::vector<LinkBox>* links) {
  const std::vector<Line> lines = LayOut(graphics, control, text, layout, area.Width, color, hover);
  const bool rtl = IsRtl(text);
  float total = 0;
  for (const Line& line : lines) total += line.height;
  float y = area.Y;
  if (control.look.align & kAlignVCenter) y += (area.Height - total) / 2;
  else if (control.look.align & kAlignBottom) y += area.Height - total;
  for (const Line& line : lines) {
    float left = area.X;  // where the line starts
    const Gdiplus::StringAlignment align = Horizontal(control.look.align);
    if (align == Gdiplus::StringAlignmentCenter) left += (area.Width - line.width) / 2;
    else if (align == Gdiplus::StringAlignmentFar) left += area.Width - line.width;
    for (const Piece& piece : line.pieces) {
      const float x = rtl ? left + line.width - piece.x - piece.width : left + piece.x;
      const float top = y + line.ascent - piece.font->ascent;
      const Gdiplus::RectF box(x, top, piece.width + 1, piece.font->lineHeight);
      Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
      SetUpFormat(&format, false);
      Gdiplus::SolidBrush brush(ColorOf(piece.color));
      graphics.DrawString(piece.text.c_str(), static_cast<INT>(piece.text.size()), piece.font->font.get(), box,
                          &format, &brush);
      if (piece.link >= 0 && links)
        links->push_back(LinkBox{const_cast<Control*>(&control), piece.link,
                                 Rect{static_cast<int>(std::floor(x)), static_cast<int>(std::floor(top)),
                                      static_cast<int>(std::ceil(x + piece.width)),
                                      static_cast<int>(std::ceil(top + piece.font->lineHeight))}});
    }
    y += line.height;
  }
}

}  // namespace toolkit
