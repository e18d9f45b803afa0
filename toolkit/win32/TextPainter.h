// Text with GDI+: fonts from a window's font table with a fallback for faces
// the system lacks or that lack the text's script (CJK in a face of the
// window's language first), measuring, and drawing texts laid out by
// TextLayout piece by piece. Measuring and drawing share one string format
// and rendering mode, so that a measured width is the drawn width. In a
// right-to-left window every piece is drawn with
// StringFormatFlagsDirectionRightToLeft.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "toolkit/Control.h"
#include "toolkit/Geometry.h"
#include "toolkit/TextLayout.h"
#include "toolkit/WindowLayout.h"
#include "toolkit/win32/Gdiplus.h"

namespace toolkit {

// Where a link of a markup text was drawn, in layout pixels.
struct LinkBox {
  Control* text = nullptr;
  int link = -1;
  Rect box;
};

// What a text is drawn in besides its control: the link under the mouse.
struct TextHover {
  const Control* text = nullptr;
  int link = -1;
};

// The rendering settings of every Graphics the backend draws or measures
// with; `scale` maps layout pixels to device pixels.
void PrepareGraphics(Gdiplus::Graphics& graphics, float scale);

class TextPainter {
 public:
  TextPainter();
  ~TextPainter();
  TextPainter(const TextPainter&) = delete;
  TextPainter& operator=(const TextPainter&) = delete;

  // The face that draws `text` for a layout's face name in a window of
  // `language`: for CJK text the language's own faces first; then the face
  // itself when the system has it and it covers the text, else the first
  // that does.
  std::wstring ResolveFace(const std::string& face, const std::wstring& text, const std::string& language);
  // One line of `text` in `font`, in layout pixels, measured at `scale`.
  TextExtent Measure(const std::wstring& text, const FontSpec& font, const std::string& language, float scale);
  // Draws the control's text (markup or plain) into `area`, adding the
  // boxes of its links to `links`.
  void Draw(Gdiplus::Graphics& graphics, const Control& control, const std::wstring& text, const WindowLayout& layout,
            const Gdiplus::RectF& area, const TextHover& hover, std::vector<LinkBox>* links);

  // How a plain text is drawn besides its font and colour.
  struct PlainStyle {
    unsigned align = kAlignLeft | kAlignVCenter;
    bool multiline = false, ellipsis = false;
    std::string language;
    bool rightToLeft = false;
  };
  // One plain text in `spec`; a line feed starts a new line.
  void DrawPlain(Gdiplus::Graphics& graphics, const std::wstring& text, const FontSpec& spec, uint32_t color,
                 const Gdiplus::RectF& area, const PlainStyle& style);

  struct Font {
    std::unique_ptr<Gdiplus::FontFamily> family;
    std::unique_ptr<Gdiplus::Font> font;
    float ascent = 0, lineHeight = 0;
  };
  // The GDI+ font of `spec` (underlined on request) for `text`.
  const Font& FontFor(const FontSpec& spec, const std::wstring& text, const std::string& language,
                      bool underline = false);

 private:
  // The colour of a piece of text.
  using PieceColor = std::function<uint32_t(const PlacedText& piece)>;
  MeasureFunction MeasureOn(Gdiplus::Graphics& graphics, const std::string& language);
  // The lines of `block` from the area's top as `align` places them
  // vertically; only the lines within the graphics' clip are drawn.
  void DrawBlock(Gdiplus::Graphics& graphics, const TextBlock& block, const Gdiplus::RectF& area, unsigned align,
                 const std::string& language, bool rightToLeft, const PieceColor& color, const Control* control,
                 std::vector<LinkBox>* links);
  float Width(Gdiplus::Graphics& graphics, const std::wstring& text, const Font& font);
  // Whether GDI+ shows a right-to-left run from its right end itself; where
  // it does not, such runs are handed to it reversed.
  bool OrdersRightToLeft(Gdiplus::Graphics& graphics);
  // The face's own characters (font links left out), asked once per face.
  const std::vector<WCRANGE>& Ranges(const std::wstring& face);
  // The characters of `text` the face lacks, each once.
  std::wstring Uncovered(const std::wstring& face, const std::wstring& text);
  // Logs " Missing glyphs" for text of the control the face lacks characters of.
  void CheckGlyphs(const Control& control, const std::wstring& face, const std::wstring& text);

  GdiplusSession session_;
  HDC probe_ = nullptr;  // a memory DC to ask GDI about glyphs
  std::unique_ptr<Gdiplus::Bitmap> measureSurface_;  // measures at measureScale_
  std::unique_ptr<Gdiplus::Graphics> measureGraphics_;
  float measureScale_ = 0;
  int ordersRightToLeft_ = -1;  // -1: not asked yet
  std::map<std::tuple<std::string, int, std::string>, std::wstring> faces_;  // (face, script, language) -> face
  std::map<std::tuple<std::wstring, int, int>, Font> fonts_;                  // (face, size, style)
  std::map<std::tuple<const Font*, float, std::wstring>, float> widths_;      // (font, scale, text)
  std::map<std::wstring, std::vector<WCRANGE>> ranges_;                       // face -> its characters
  std::set<std::pair<std::string, std::wstring>> reported_;  // (control, text) with missing glyphs
};

}  // namespace toolkit
