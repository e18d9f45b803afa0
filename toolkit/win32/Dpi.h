// High DPI: the process asks the system for DPI awareness, so that windows
// are drawn at the screen's resolution instead of being stretched. Layouts
// stay in 96-DPI pixels; windows and drawing scale by dpi/96 and mouse
// positions are divided back.
#pragma once

#include <windows.h>

#include "toolkit/Geometry.h"

namespace toolkit {

// Once, before the first window; silent where the system has neither call.
void MakeProcessDpiAware();
// The screen's pixels per inch (96 at 100 %).
int ScreenDpi();

class DpiScale {
 public:
  explicit DpiScale(int dpi = 96) : dpi_(dpi > 0 ? dpi : 96) {}
  int dpi() const { return dpi_; }
  float factor() const { return dpi_ / 96.0f; }
  // Layout to screen pixels, rounded to the nearest.
  int ToScreen(int layout) const;
  Rect ToScreen(const Rect& layout) const;
  // Screen to layout pixels, rounded down, so that a screen pixel maps to the
  // layout pixel it lies in.
  int ToLayout(int screen) const;
  Rect ToLayout(const Rect& screen) const;
  Point ToLayout(Point screen) const { return Point{ToLayout(screen.x), ToLayout(screen.y)}; }

 private:
  int dpi_;
};

// A rectangle of the window's client area, in layout pixels, on the screen.
RECT ScreenRect(HWND hwnd, const DpiScale& scale, const Rect& layout);

}  // namespace toolkit
