// For scripts that drive the program with a mouse (scripts/e2e-windows.sh):
// builds for tests write, in "setup-layout.txt" in the working folder, each
// shown window's shown controls with their rectangles on the screen, the one
// that has the focus and how far the progress bars are, whenever that
// changes, so that a script clicks a
// control where this program put it. A release compiles it to nothing
// (SETUP_LAYOUT_REPORT, set for builds for tests only).
//
// One line per control, "<window> <control> <left> <top> <width> <height>",
// then " focused" on the focused one and " <n>%" on a progress bar; a link
// in a text is "<control>#<n>" at the first box it was drawn in (a link that
// wraps has more).
// The file is replaced in one step after each drawing that changed it.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "toolkit/win32/Dpi.h"
#include "toolkit/win32/TextPainter.h"

namespace toolkit {

class SkinWindow;

class LayoutReport {
 public:
  // After the window was drawn, its links in `links`.
  void Update(SkinWindow& window, HWND hwnd, const DpiScale& scale, const std::vector<LinkBox>& links);
  // After it was moved, shown, hidden or destroyed: a window shows in the
  // report once drawn, so that what the report names is on the screen.
  void Moved(SkinWindow& window, HWND hwnd, const DpiScale& scale, const std::vector<LinkBox>& links);

 private:
  void Forget(int window);
  void Write();

  std::map<int, std::string> windows_;  // each shown window's lines
};

}  // namespace toolkit
