// What the portable model needs of a window system: enabling and showing
// windows, waiting for work and measuring text. The Win32 backend waits on
// the thread's message queue; the headless backend on a condition variable.
#pragma once

#include <string>

#include "toolkit/Geometry.h"
#include "toolkit/WindowLayout.h"

namespace toolkit {

class WindowBackend {
 public:
  virtual ~WindowBackend() = default;
  virtual void SetWindowEnabled(int window, bool enabled) = 0;
  virtual void SetWindowVisible(int window, bool visible) = 0;
  // Blocks the loop's thread until Wake or at most `timeoutMs` (-1: no limit).
  virtual void Wait(int timeoutMs) = 0;
  // Any thread: ends the current or the next Wait.
  virtual void Wake() = 0;
  // The extent of one line of text drawn in `font`.
  virtual Size MeasureText(const std::wstring& text, const FontSpec& font) = 0;
};

}  // namespace toolkit
