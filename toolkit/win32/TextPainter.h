// Text with GDI+: fonts from a window's font table with a fallback for faces
// the system lacks or that lack the text's script, measuring, and drawing of
// plain and markup texts. Measuring and drawing share one string format and
// rendering mode, so that a measured width is the drawn width.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "toolkit/Control.h"
#include "toolkit/Geometry.h"
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
// A font of the layout's table, its default, or Tahoma 12 for a layout without fonts.
const FontSpec& LayoutFont(int id, const WindowLayout& layout);

class TextPainter {
 public:
  TextPainter();
  ~TextPainter();
  TextPainter(const TextPainter&) = delete;
  TextPainter& operator=(const TextPainter&) = delete;

  // The face that draws `text` for a layout's face name: the face itself when
  // the system has it and it covers the text, else the first that does.
  std::wstring ResolveFace(const std::string& face, const std::wstring& text);
  // One line of `text` in `font`, in layout pixels, measured at `scale`.
  Size Measure(const std::wstring& text, const FontSpec& font, float scale);
  // The height of a plain text wrapped at `width` layout pixels, laid out as
  // DrawPlain lays it out.
  int MeasureWrapped(const std::wstring& text, const FontSpec& font, int width, float scale);
  // Draws the control's text (markup or plain) into `area`, adding the
  // boxes of its links to `links`.
  void Draw(Gdiplus::Graphics& graphics, const Control& control, const std::wstring& text, const WindowLayout& layout,
            const Gdiplus::RectF& area, const TextHover& hover, std::vector<LinkBox>* links);

  // One plain text in `spec`, aligned by kAlign flags, wrapped or not.
  void DrawPlain(Gdiplus::Graphics& graphics, const std::wstring& text, const FontSpec& spec, uint32_t color,
                 const Gdiplus::RectF& area, unsigned align, bool multiline, bool ellipsis);

  struct Font {
    std::unique_ptr<Gdiplus::FontFamily> family;
    std::unique_ptr<Gdiplus::Font> font;
    float ascent = 0, lineHeight = 0;
  };
  // The GDI+ font of `spec` (underlined on request) for `text`.
  const Font& FontFor(const FontSpec& spec, const std::wstring& text, bool underline = false);

 private:
  struct Piece;
  struct Line;
  void DrawMarkup(Gdiplus::Graphics& graphics, const Control& control, const std::wstring& text,
                  const WindowLayout& layout, uint32_t color, const Gdiplus::RectF& area, const TextHover& hover,
                  std::vector<LinkBox>* links);
  std::vector<Line> LayOut(Gdiplus::Graphics& graphics, const Control& control, const std::wstring& text,
                           const WindowLayout& layout, float width, uint32_t color, const TextHover& hover);
  float Width(Gdiplus::Graphics& graphics, const std::wstring& text, const Font& font);
  // The face's own characters (font links left out), asked once per face.
  const std::vector<WCRANGE>& Ranges(const std::wstring& face);
  // The characters of `text` the face lacks, each once.
  std::wstring Uncovered(const std::wstring& face, const std::wstring& text);
  // Logs " Missing glyphs" for text of the control the face lacks characters of.
  void CheckGlyphs(const Control& control, const std::wstring& face, const std::wstring& text);

  GdiplusSession session_;
  HDC probe_ = nullptr;  // a memory DC to ask GDI about glyphs
  std::map<std::pair<std::string, int>, std::wstring> faces_;  // (face, script) -> face that draws it
  std::map<std::tuple<std::wstring, int, int>, Font> fonts_;   // (face, size, style)
  std::map<std::wstring, std::vector<WCRANGE>> ranges_;        // face -> its characters
  std::set<std::pair<std::string, std::wstring>> reported_;    // (control, text) with missing glyphs
};

}  // namespace toolkit
