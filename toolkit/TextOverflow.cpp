#include "toolkit/TextOverflow.h"

#include <easylogging++.h>

#include <algorithm>

#include "toolkit/Markup.h"

namespace toolkit {

namespace {

const FontSpec& FontOf(int id, const WindowLayout& layout) {
  static const FontSpec kFallback;  // a layout without fonts draws in the system's
  const FontSpec* font = layout.FindFont(id);
  return font ? *font : kFallback;
}

int LogOverflows(const Control& control, const WindowLayout& layout, WindowBackend& backend) {
  if (!control.state.visible) return 0;
  int logged = 0;
  const int width = control.rect.Width();
  if (!control.look.text.empty() && !control.look.multiline && width > 0) {
    const int textWidth = TextWidth(control, layout, backend);
    if (textWidth > width) {
      LOG(WARNING) << " Text overflows " << control.name() << ": text width " << textWidth
                   << ", rectangle width " << width;
      ++logged;
    }
  }
  for (const auto& child : control.children()) logged += LogOverflows(*child, layout, backend);
  return logged;
}

}  // namespace

int TextWidth(const Control& control, const WindowLayout& layout, WindowBackend& backend) {
  if (!control.look.markup) return backend.MeasureText(control.look.text, FontOf(control.look.font, layout)).width;
  int widest = 0, line = 0;
  for (const TextRun& run : ParseMarkup(control.look.text).runs) {
    if (run.kind != TextRun::Kind::kText) {
      line = 0;
      continue;
    }
    const int font = run.style.font >= 0 ? run.style.font : control.look.font;
    line += backend.MeasureText(run.text, FontOf(font, layout)).width;
    widest = std::max(widest, line);
  }
  return widest;
}

int TextHeight(const Control& control, int width, const WindowLayout& layout, WindowBackend& backend) {
  return backend.MeasureWrapped(control.look.text, FontOf(control.look.font, layout), width);
}

int LogTextOverflows(const WindowLayout& layout, WindowBackend& backend) {
  return LogOverflows(layout.root, layout, backend);
}

}  // namespace toolkit
