// The list a combo drops down: a popup window under the combo with its
// visible items. A click on an item picks it; a click anywhere else,
// Escape or losing the mouse closes it. The owner window passes its keys
// on (Up, Down, Enter, Escape) while the list is open.
#pragma once

#include <functional>
#include <vector>

#include "toolkit/win32/Dpi.h"
#include "toolkit/win32/Gdiplus.h"
#include "toolkit/win32/TextPainter.h"

namespace toolkit {

class ComboDropDown {
 public:
  using Pick = std::function<void(Control* combo, int index)>;

  ComboDropDown(TextPainter& text, const WindowLayout& layout, const DpiScale& scale, Pick pick);
  ~ComboDropDown();
  ComboDropDown(const ComboDropDown&) = delete;
  ComboDropDown& operator=(const ComboDropDown&) = delete;

  // Shows the items of `combo`, a control of `owner`'s layout.
  bool Open(HWND owner, Control* combo);
  void Close();
  bool IsOpen() const { return popup_ != nullptr; }
  // Up and Down move the choice, Enter picks it, Escape closes; false for other keys.
  bool HandleKey(WPARAM key);

  static constexpr int kItemHeight = 26;  // layout pixels

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Paint();
  int ItemAt(LPARAM lparam) const;
  void Choose(int row);

  TextPainter& text_;
  const WindowLayout& layout_;
  const DpiScale& scale_;
  Pick pick_;
  HWND popup_ = nullptr;
  Control* combo_ = nullptr;
  std::vector<int> items_;  // child indices of the visible items
  int hot_ = -1;            // row under the mouse or chosen by keys
};

}  // namespace toolkit
