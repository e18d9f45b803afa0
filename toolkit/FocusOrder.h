// What the keyboard reaches in an arranged window and in which order. A
// stop is a control a user can press, tick, choose from or type into, each
// link of a text, or a scrolling layout whose content does not fit. It must
// show: shown with all its containers, enabled with them, and at least partly
// inside the window and inside every container (they clip what they hold),
// so that nothing laid out below a collapsed window's edge is reached. The
// options of a group are one stop, the selected one (else the first); the
// arrow keys move within the group. Stops come in reading order: line by
// line from the top, along a line from the left, or from the right in a
// right-to-left window.
#pragma once

#include <cstddef>
#include <vector>

#include "toolkit/Control.h"
#include "toolkit/Geometry.h"

namespace toolkit {

struct FocusTarget {
  Control* control = nullptr;
  int link = -1;  // a link of the text `control`; -1: the control itself
  bool operator==(const FocusTarget& other) const { return control == other.control && link == other.link; }
  bool operator!=(const FocusTarget& other) const { return !(*this == other); }
};

// The part of an arranged control that shows in a window of `window`'s
// size: its rectangle clipped by its containers and the window; empty when
// nothing of it shows or it or a container is hidden.
Rect VisiblePart(const Control& control, Size window);
// Enabled, with every container.
bool EnabledChain(const Control& control);
// The order in which `rects` are read: indices into them, line by line (a
// rectangle whose middle lies within a line's height joins it) and along
// each line by its left edge, or by its right edge from the right.
std::vector<size_t> ReadingOrder(const std::vector<Rect>& rects, bool rightToLeft);

// The stops of the tree under `root`.
std::vector<FocusTarget> FocusOrder(Control* root, Size window, bool rightToLeft);
// The options of `option`'s group that show and are enabled, in reading
// order; the option alone when it has no group.
std::vector<Control*> GroupOrder(Control* root, Control* option, Size window, bool rightToLeft);

}  // namespace toolkit
