// Finds text that does not fit the control that shows it, so that a
// translation that does not fit is logged ("Text overflows ...") instead of
// being cut off unnoticed: a line wider than the control's text area, or
// lines of a wrapping text that reach below it. Texts are laid out as they
// are drawn (TextLayout), in the backend's measure.
#pragma once

#include "toolkit/Control.h"
#include "toolkit/WindowBackend.h"
#include "toolkit/WindowLayout.h"

namespace toolkit {

// The width of the control's widest line of text, unwrapped.
int TextWidth(const Control& control, const WindowLayout& layout, WindowBackend& backend);
// The height of the control's text wrapped at `width`.
int TextHeight(const Control& control, int width, const WindowLayout& layout, WindowBackend& backend);
// Logs each visible control whose text does not fit its text area (the
// rectangle less the inset); returns how many it logged.
int LogTextOverflows(const WindowLayout& layout, WindowBackend& backend);
// Logs a caption whose text does not fit its box, naming it `name`; true when it fits.
bool CaptionFits(const Caption& caption, const std::string& name, WindowBackend& backend);

}  // namespace toolkit
