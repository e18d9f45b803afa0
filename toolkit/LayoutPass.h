// Layout arithmetic: the rectangle of every control of a tree for a window
// size. Vertical and horizontal layouts give fixed children their size and
// share the rest among stretching ones within their min/max; padding is
// outside a control, inset inside a container; floating controls sit at
// their `pos`; hidden controls, tab pages not shown and combo items (drawn
// by the drop-down) get an empty rectangle and take no space. A layout with
// vscrollbar moves its children up by its scrollY, kept within ScrollLimit.
// A mirrored window (right to left) is arranged as written and then
// mirrored: every rectangle reflected at the window's vertical middle.
#pragma once

#include "toolkit/Control.h"
#include "toolkit/Geometry.h"

namespace toolkit {

void ArrangeWindow(Control* root, Size size, bool mirrored = false);
// How far an arranged vscrollbar layout can scroll: the height of its
// children beyond its content area; 0 when they fit.
int ScrollLimit(const Control& layout);
// The rectangle an arranged control gets when the tab pages holding it are
// shown, for sizing what a page not shown yet holds (its position is that
// of a window not mirrored); the tree stays as it was arranged.
Rect ShownRect(Control* control);
// The edges of a control's inset as a window shows them: left and right
// change places in a mirrored window.
Rect ShownInset(const Control& control, bool mirrored);

}  // namespace toolkit
