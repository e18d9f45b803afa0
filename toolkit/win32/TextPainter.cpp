#include "toolkit/win32/TextPainter.h"

#include <easylogging++.h>

#include <algorithm>
#include <cmath>

#include "platform/Platform.h"

namespace toolkit {

namespace {

enum Script { kLatin, kHan, kHangul, kThai, kDevanagari, kArabic, kScripts };

// CJK ideographs, kana, their punctuation and full-width forms.
bool IsIdeograph(wchar_t c) {
  const bool hangulJamo = c >= 0x3130 && c <= 0x318F;
  return (c >= 0x2E80 && c <= 0x9FFF && !hangulJamo) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

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

// Han characters take the glyph forms of the face's language: Japanese,
// Traditional and Simplified Chinese and Korean each draw in a face of
// their own before any other (Windows' faces, then fonts-noto-cjk's for Wine).
const std::vector<std::wstring>& LanguageFaces(const std::string& language) {
  static const std::vector<std::wstring> japanese{L"Meiryo UI", L"Yu Gothic UI", L"Meiryo", L"MS UI Gothic",
                                                  L"Noto Sans CJK JP"};
  static const std::vector<std::wstring> traditional{L"Microsoft JhengHei", L"Microsoft JhengHei UI", L"PMingLiU",
                                                     L"Noto Sans CJK TC"};
  static const std::vector<std::wstring> korean{L"Malgun Gothic", L"Gulim", L"Noto Sans CJK KR"};
  static const std::vector<std::wstring> simplified{L"Microsoft YaHei", L"Microsoft YaHei UI", L"SimSun",
                                                    L"Noto Sans CJK SC"};
  static const std::vector<std::wstring> none;
  if (language == "ja") return japanese;
  if (language == "zh-tw" || language == "zh-hk") return traditional;
  if (language == "ko") return korean;
  if (language == "zh-cn") return simplified;
  return none;
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
// that widths add up), trailing spaces counted, one line (TextLayout makes
// the lines), right to left where asked. The pieces are placed by
// TextLayout, so GDI+'s alignment (which Wine reads differently from
// Windows for right-to-left text) never moves them.
void SetUpFormat(Gdiplus::StringFormat* format, bool rightToLeft) {
  INT flags = Gdiplus::StringFormatFlagsMeasureTrailingSpaces | Gdiplus::StringFormatFlagsNoClip |
              Gdiplus::StringFormatFlagsNoWrap;
  if (rightToLeft) flags |= Gdiplus::StringFormatFlagsDirectionRightToLeft;
  format->SetFormatFlags(flags);
  format->SetTrimming(Gdiplus::StringTrimmingNone);
}

// A run handed over reversed shows its brackets turned the other way.
wchar_t Mirrored(wchar_t c) {
  static const wchar_t pairs[] = L"()[]{}<>\u00AB\u00BB\u2039\u203A";
  for (size_t i = 0; pairs[i]; ++i)
    if (pairs[i] == c) return pairs[i ^ 1];
  return c;
}

float Scale(Gdiplus::Graphics& graphics) {
  Gdiplus::Matrix matrix;
  graphics.GetTransform(&matrix);
  Gdiplus::REAL elements[6] = {1, 0, 0, 1, 0, 0};
  matrix.GetElements(elements);
  return elements[0];
}

constexpr size_t kMaxWidths = 50000;  // cached piece widths; beyond, they are measured anew

}  // namespace

void PrepareGraphics(Gdiplus::Graphics& graphics, float scale) {
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
  graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
  graphics.SetPageUnit(Gdiplus::UnitPixel);
  graphics.ScaleTransform(scale, scale);
}

TextPainter::TextPainter() : probe_(CreateCompatibleDC(nullptr)) {}

TextPainter::~TextPainter() {
  widths_.clear();
  fonts_.clear();  // before the session ends
  measureGraphics_.reset();
  measureSurface_.reset();
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

std::wstring TextPainter::ResolveFace(const std::string& face, const std::wstring& text, const std::string& language) {
  const Script script = ScriptOf(text);
  const bool cjk = script == kHan || script == kHangul;
  const auto key = std::make_tuple(face, static_cast<int>(script), cjk ? language : std::string());
  // A script's face serves its later texts unless one holds a character the
  // face lacks (Vietnamese among Latin texts): that text looks further.
  const auto found = faces_.find(key);
  if (found != faces_.end() && Uncovered(found->second, text).empty()) return found->second;
  const std::wstring wide = platform::Utf8ToWide(face);
  std::vector<std::wstring> candidates;
  if (cjk) candidates = LanguageFaces(language);
  candidates.push_back(wide);
  for (const auto& list : {Alternatives(wide), ScriptFaces(script), ScriptFaces(kLatin)})
    candidates.insert(candidates.end(), list.begin(), list.end());
  // The first face that exists and covers the text; else the first that
  // exists, so that at least the text's other characters draw.
  std::wstring chosen;
  for (const std::wstring& candidate : candidates) {
    if (!FamilyExists(candidate)) continue;
    if (Uncovered(candidate, text).empty()) {
      chosen = candidate;
      break;
    }
    if (chosen.empty()) chosen = candidate;
  }
  if (chosen.empty()) chosen = GenericFace();
  return found != faces_.end() ? chosen : faces_[key] = chosen;
}

const TextPainter::Font& TextPainter::FontFor(const FontSpec& spec, const std::wstring& text,
                                              const std::string& language, bool underline) {
  const std::wstring face = ResolveFace(spec.face, text, language);
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
  const auto key = std::make_tuple(&font, Scale(graphics), text);
  const auto found = widths_.find(key);
  if (found != widths_.end()) return found->second;
  if (widths_.size() >= kMaxWidths) widths_.clear();
  Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
  SetUpFormat(&format, false);
  Gdiplus::RectF box;
  graphics.MeasureString(text.c_str(), static_cast<INT>(text.size()), font.font.get(), Gdiplus::PointF(0, 0),
                         &format, &box);
  return widths_[key] = box.Width;
}

MeasureFunction TextPainter::MeasureOn(Gdiplus::Graphics& graphics, const std::string& language) {
  return [this, &graphics, language](const std::wstring& text, const FontSpec& spec) {
    const Font& font = FontFor(spec, text, language);
    return TextExtent{Width(graphics, text, font), font.ascent, font.lineHeight};
  };
}

TextExtent TextPainter::Measure(const std::wstring& text, const FontSpec& spec, const std::string& language,
                                float scale) {
  if (!measureGraphics_ || measureScale_ != scale) {
    measureGraphics_.reset();
    measureSurface_ = std::make_unique<Gdiplus::Bitmap>(1, 1, PixelFormat32bppPARGB);
    measureGraphics_ = std::make_unique<Gdiplus::Graphics>(measureSurface_.get());
    PrepareGraphics(*measureGraphics_, scale);
    measureScale_ = scale;
  }
  return MeasureOn(*measureGraphics_, language)(text, spec);
}

// Two letters that do not join: GDI+ orders them itself when the first
// ends up to the right of the second.
bool TextPainter::OrdersRightToLeft(Gdiplus::Graphics& graphics) {
  if (ordersRightToLeft_ >= 0) return ordersRightToLeft_ == 1;
  const wchar_t sample[] = L"\u062F\u0631";
  const FontSpec spec{0, "Tahoma", 20};
  const Font& font = FontFor(spec, sample, "");
  Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
  SetUpFormat(&format, true);
  const Gdiplus::CharacterRange ranges[] = {Gdiplus::CharacterRange(0, 1), Gdiplus::CharacterRange(1, 1)};
  format.SetMeasurableCharacterRanges(2, ranges);
  Gdiplus::Region regions[2];
  Gdiplus::RectF first, second;
  const Gdiplus::RectF box(0, 0, 200, 50);
  ordersRightToLeft_ = 1;
  if (graphics.MeasureCharacterRanges(sample, 2, font.font.get(), box, &format, 2, regions) == Gdiplus::Ok &&
      regions[0].GetBounds(&first, &graphics) == Gdiplus::Ok && regions[1].GetBounds(&second, &graphics) == Gdiplus::Ok)
    ordersRightToLeft_ = first.X > second.X ? 1 : 0;
  if (!ordersRightToLeft_) LOG(INFO) << " GDI+ shows right-to-left runs in reading order: they are handed over reversed";
  return ordersRightToLeft_ == 1;
}

void TextPainter::Draw(Gdiplus::Graphics& graphics, const Control& control, const std::wstring& text,
                       const WindowLayout& layout, const Gdiplus::RectF& area, const TextHover& hover,
                       std::vector<LinkBox>* links) {
  if (text.empty() || area.Width <= 0 || area.Height <= 0) return;
  uint32_t color = control.look.textColor ? control.look.textColor : 0xFF000000u;
  if (!control.state.enabled) color = control.look.disabledTextColor ? control.look.disabledTextColor : 0xFFA0A0A0u;
  const TextBlock block = LayOutControlText(control, text, layout, area.Width, MeasureOn(graphics, layout.language));
  const PieceColor pieceColor = [&](const PlacedText& piece) {
    const bool link = piece.style.link >= 0;
    const bool hovered = link && hover.text == &control && hover.link == piece.style.link;
    if (link && layout.linkColor) return hovered && layout.linkHoverColor ? layout.linkHoverColor : layout.linkColor;
    return piece.style.hasColor ? piece.style.color : color;
  };
  DrawBlock(graphics, block, area, control.look.align, layout.language, layout.rightToLeft, pieceColor, &control,
            links);
}

void TextPainter::DrawPlain(Gdiplus::Graphics& graphics, const std::wstring& text, const FontSpec& spec,
                            uint32_t color, const Gdiplus::RectF& area, const PlainStyle& style) {
  if (text.empty() || area.Width <= 0) return;
  const std::vector<TextRun> runs{TextRun{TextRun::Kind::kText, text, {}}};
  const TextOptions options{area.Width, style.multiline, style.align, style.rightToLeft};
  const TextBlock block = LayOutRuns(
      runs, [&spec](const TextStyle&) -> const FontSpec& { return spec; }, options,
      MeasureOn(graphics, style.language));
  if (style.ellipsis && !style.multiline && block.width > area.Width) {  // GDI+ trims the one line
    Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
    SetUpFormat(&format, style.rightToLeft);
    format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    Gdiplus::SolidBrush brush(ColorOf(color));
    graphics.DrawString(text.c_str(), static_cast<INT>(text.size()), FontFor(spec, text, style.language).font.get(),
                        area, &format, &brush);
    return;
  }
  DrawBlock(graphics, block, area, style.align, style.language, style.rightToLeft,
            [color](const PlacedText&) { return color; }, nullptr, nullptr);
}

void TextPainter::DrawBlock(Gdiplus::Graphics& graphics, const TextBlock& block, const Gdiplus::RectF& area,
                            unsigned align, const std::string& language, bool rightToLeft, const PieceColor& color,
                            const Control* control, std::vector<LinkBox>* links) {
  float y = area.Y;
  if (align & kAlignVCenter) y += (area.Height - block.height) / 2;
  else if (align & kAlignBottom) y += area.Height - block.height;
  Gdiplus::RectF clip;
  graphics.GetClipBounds(&clip);
  for (const TextLine& line : block.lines) {
    const bool shown = y + line.height >= clip.Y && y <= clip.GetBottom();
    for (const PlacedText& piece : line.pieces) {
      if (!shown && !(piece.style.link >= 0 && links)) continue;
      const Font& font = FontFor(*piece.font, piece.text, language, piece.style.underline || piece.style.link >= 0);
      const float x = area.X + piece.x;
      const float top = y + line.ascent - font.ascent;
      if (piece.style.link >= 0 && links && control)
        links->push_back(LinkBox{const_cast<Control*>(control), piece.style.link,
                                 Rect{static_cast<int>(std::floor(x)), static_cast<int>(std::floor(top)),
                                      static_cast<int>(std::ceil(x + piece.extent.width)),
                                      static_cast<int>(std::ceil(top + font.lineHeight))}});
      if (!shown) continue;
      if (control) CheckGlyphs(*control, ResolveFace(piece.font->face, piece.text, language), piece.text);
      std::wstring text = piece.text;
      if (piece.rightToLeft && !OrdersRightToLeft(graphics)) {
        std::reverse(text.begin(), text.end());
        std::transform(text.begin(), text.end(), text.begin(), Mirrored);
      }
      Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
      SetUpFormat(&format, rightToLeft || piece.rightToLeft);
      Gdiplus::SolidBrush brush(ColorOf(color(piece)));
      const Gdiplus::RectF box(x, top, piece.extent.width, font.lineHeight);
      graphics.DrawString(text.c_str(), static_cast<INT>(text.size()), font.font.get(), box, &format, &brush);
    }
    y += line.height;
  }
}

}  // namespace toolkit
