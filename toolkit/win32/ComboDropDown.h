// The list a combo drops down: a popup window under the combo with its
// visible items. A click on an item picks it; a click anywhere else,
// Escape or losing the mouse closes it. The owner window passes its keys
// on (Up, Down, Enter, Escape) while the list is open. Screen readers see a
// list of its items (WM_GETOBJECT), the chosen one focused and selected.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "toolkit/win32/AccessibleEvents.h"
#include "toolkit/win32/AccessibleObject.h"
#include "toolkit/win32/Dpi.h"
#include "toolkit/win32/Gdiplus.h"
#include "toolkit/win32/TextPainter.h"

namespace toolkit {

class ComboDropDown : private AccessibleSource {
 public:
  using Pick = std::function<void(Control* combo, int index)>;

  ComboDropDown(TextPainter& text, const WindowLayout& layout, const DpiScale& scale, Pick pick);
  ~ComboDropDown();
  ComboDropDown(const ComboDropDown&) = delete;
  ComboDropDown& operator=(const ComboDropDown&) = delete;

  // Shows the items of `combo`, a control of `owner`'s layout; `name` is
  // the combo's, for screen readers.
  bool Open(HWND owner, Control* combo, const std::wstring& name);
  void Close();
  bool IsOpen() const { return popup_ != nullptr; }
  const Control* Combo() const { return combo_; }
  // Up and Down move the choice, Enter picks it, Escape closes; false for other keys.
  bool HandleKey(WPARAM key);

  static constexpr int kItemHeight = 26;  // layout pixels

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Paint();
  int ItemAt(LPARAM lparam) const;
  void Choose(int row);
  void SetHot(int row);
  // AccessibleSource: the rows are children 1 to n.
  AccessibleNode Self() override;
  std::vector<AccessibleNode> Children() override;
  bool Child(long id, AccessibleNode* node) override;
  long FocusedChild() override { return hot_ >= 0 ? hot_ + 1 : CHILDID_SELF; }
  void DoDefaultAction(long id) override;
  void TakeFocus(long id) override { SetHot(static_cast<int>(id) - 1); }
  HWND Window() override { return popup_; }

  TextPainter& text_;
  const WindowLayout& layout_;
  const DpiScale& scale_;
  Pick pick_;
  HWND popup_ = nullptr;
  Control* combo_ = nullptr;
  std::vector<int> items_;  // child indices of the visible items
  int hot_ = -1;            // row under the mouse or chosen by keys
  std::wstring name_;
  AccessibleObject* accessible_ = nullptr;  // while open, made when first asked for
  AccessibleEvents events_;
};

}  // namespace toolkit
