// Plain geometry of the toolkit's model, in window pixels.
#pragma once

namespace toolkit {

struct Point {
  int x = 0, y = 0;
};

// Also used for edges (padding, inset, corners): each side's thickness.
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  // Half-open, as Win32's PtInRect: an empty rectangle contains no point.
  bool Contains(Point point) const {
    return point.x >= left && point.x < right && point.y >= top && point.y < bottom;
  }
  bool operator==(const Rect& other) const {
    return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
  }
};

struct Size {
  int width = 0, height = 0;
};

}  // namespace toolkit
