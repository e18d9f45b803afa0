// Finds text wider than the control that shows it, so that a translation
// that does not fit is logged ("Text overflows ...") instead of being cut
// off unnoticed. Markup is measured run by run in each run's font; a line
// break starts a new line. Wrapping controls (multiline) are left out: their
// lines depend on the wrap, not on the text alone; TextHeight measures them
// at a given width.
#pragma once

#include "toolkit/Control.h"
#include "toolkit/WindowBackend.h"
#include "toolkit/WindowLayout.h"

namespace toolkit {

// The width of the control's widest line of text.
int TextWidth(const Control& control, const WindowLayout& layout, WindowBackend& backend);
// The height of the control's plain text wrapped at `width`.
int TextHeight(const Control& control, int width, const WindowLayout& layout, WindowBackend& backend);
// Logs each visible single-line control whose text is wider than its
// rectangle; returns how many it logged.
int LogTextOverflows(const WindowLayout& layout, WindowBackend& backend);

}  // namespace toolkit
