#include "toolkit/TextOverflow.h"

#include <easylogging++.h>

#include <cmath>
#include <limits>

namespace toolkit {

namespace {

// Widths and heights are compared in whole pixels, as they are drawn.
int Ceil(float value) { return static_cast<int>(std::ceil(value - 0.01f)); }

MeasureFunction Measure(WindowBackend& backend, const std::string& language) {
  return [&backend, language](const std::wstring& text, const FontSpec& font) {
    return backend.MeasureText(text, font, language);
  };
}

// A wrapping text passes the edge only with a character wider than its area.
bool Overflows(const std::string& name, const TextBlock& block, const Rect& area, bool wrapped) {
  const int width = Ceil(block.width), height = Ceil(block.height);
  if (width <= area.Width() && (!wrapped || height <= area.Height())) return false;
  LOG(WARNING) << " Text overflows " << name << ": text " << width << " x " << height << ", room " << area.Width()
               << " x " << area.Height();
  return true;
}

Rect TextArea(const Control& control) {
  const Rect& inset = control.layout.inset;
  return Rect{control.rect.left + inset.left, control.rect.top + inset.top, control.rect.right - inset.right,
              control.rect.bottom - inset.bottom};
}

// An edit scrolls its text; a combo shows an item's.
int LogOverflows(const Control& control, const WindowLayout& layout, WindowBackend& backend) {
  if (!control.state.visible || control.rect.Width() <= 0) return 0;
  int logged = 0;
  const Rect area = TextArea(control);
  if (!control.look.text.empty() && control.kind() != ControlKind::kEdit) {
    const TextBlock block = LayOutControlText(control, control.look.text, layout, static_cast<float>(area.Width()),
                                              Measure(backend, layout.language));
    logged += Overflows(control.name(), block, area, control.look.multiline);
  }
  for (const auto& child : control.children()) logged += LogOverflows(*child, layout, backend);
  return logged;
}

}  // namespace

// Wrapped at no width, a text keeps the lines its line ends give it.
int TextWidth(const Control& control, const WindowLayout& layout, WindowBackend& backend) {
  return Ceil(LayOutControlText(control, control.look.text, layout, std::numeric_limits<float>::max(),
                                Measure(backend, layout.language))
                  .width);
}

int TextHeight(const Control& control, int width, const WindowLayout& layout, WindowBackend& backend) {
  return Ceil(LayOutControlText(control, control.look.text, layout, static_cast<float>(width),
                                Measure(backend, layout.language))
                  .height);
}

int LogTextOverflows(const WindowLayout& layout, WindowBackend& backend) {
  return LogOverflows(layout.root, layout, backend);
}

bool CaptionFits(const Caption& caption, const std::string& name, WindowBackend& backend) {
  const std::vector<TextRun> runs{TextRun{TextRun::Kind::kText, caption.text, {}}};
  const TextOptions options{static_cast<float>(caption.box.Width()), true, caption.align, caption.rightToLeft};
  const TextBlock block = LayOutRuns(
      runs, [&caption](const TextStyle&) -> const FontSpec& { return caption.font; }, options,
      Measure(backend, caption.language));
  return !Overflows(name, block, caption.box, true);
}

}  // namespace toolkit
