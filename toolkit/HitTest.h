// Which control a mouse press at a window point reaches: the deepest visible
// and enabled control whose arranged rectangle holds the point. Floating
// children sit above the laid-out ones and a later sibling above an earlier
// one, so they are asked first. Hidden or disabled controls, and everything
// inside them, are passed over as if absent.
#pragma once

#include "toolkit/Control.h"
#include "toolkit/Geometry.h"

namespace toolkit {

// nullptr when no such control holds the point.
Control* HitTest(Control* root, Point point);

}  // namespace toolkit
