// What a window is on the screen beyond its layout: the class and the
// styles it is registered and created with, its title and its owner.
#pragma once

#include <cstdint>
#include <string>

namespace toolkit {

struct WindowSpec {
  std::wstring className;
  uint32_t classStyle = 0;
  uint32_t style = 0, exStyle = 0;  // Win32 window styles; 0 gives a popup window
  std::wstring title;
  int owner = 0;                    // the owner's loop handle; 0: none
  bool layered = false;             // drawn with per-pixel alpha (the splash)
  bool alert = false;               // a box that asks or tells: screen readers hear of it as it shows
};

// The taskbar button's progress display.
enum class TaskbarState { kNoProgress, kNormal, kError };

}  // namespace toolkit
