// A control of a window's tree: its attributes as plain data, its children
// and, after layout, its rectangle. The tree owns its controls; a window's
// code holds plain pointers that live as long as the tree.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/ControlKind.h"
#include "toolkit/Geometry.h"
#include "toolkit/Picture.h"

namespace toolkit {

enum StateImage { kImageNormal, kImageHot, kImagePushed, kImageDisabled, kImageSelected, kStateImages };

// Alignment flags of the text inside a control.
enum TextAlign : unsigned {
  kAlignLeft = 0, kAlignCenter = 1, kAlignRight = 2,
  kAlignTop = 0, kAlignVCenter = 4, kAlignBottom = 8,
};

struct ControlLook {
  std::wstring text, tooltip;
  int font = -1;                 // -1: the window's default font
  uint32_t textColor = 0, disabledTextColor = 0, bkColor = 0, borderColor = 0;  // 0: none
  unsigned align = kAlignLeft | kAlignVCenter;
  int borderSize = 0;
  bool markup = false, multiline = false, endEllipsis = false;
  Picture bkImage, foreImage, thumbImage;
  Picture images[kStateImages];
};

struct LayoutSpec {
  int width = 0, height = 0;    // fixed sizes; 0 stretches
  int minWidth = 0, maxWidth = 0, minHeight = 0, maxHeight = 0;  // max 0: none
  Rect padding;                 // space outside the control
  Rect inset;                   // space inside a container around its children
  int childPadding = 0;         // gap between a layout's children
  bool floating = false;        // placed at `pos` within its parent
  Rect pos;
  bool vscrollbar = false;
};

struct ControlState {
  bool visible = true, enabled = true, selected = false;
  std::string group;            // options of one group exclude each other
  int selectedIndex = 0;        // the tab page or the combo item; -1: none
  int min = 0, max = 100, value = 0;
  bool password = false, readOnly = false;
  int maxChars = 0;             // 0: no limit
  int scrollY = 0;              // a vscrollbar layout: how far its content is moved up
};

class Control {
 public:
  explicit Control(ControlKind kind);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  ControlKind kind() const { return kind_; }
  const std::string& name() const { return name_; }
  Control* parent() const { return parent_; }
  const std::vector<std::unique_ptr<Control>>& children() const { return children_; }

  Control* Add(std::unique_ptr<Control> child);
  bool Remove(const Control* child);
  // Depth first, this control included; nullptr when no control has the name.
  Control* Find(const std::string& name);

  // Sets a layout attribute; false with a message naming the attribute when
  // this kind of control has no such attribute or the value is not of its form.
  bool SetAttribute(const std::string& attribute, const std::string& value, std::string* error);

  // Selecting an option clears the other options of its group in the tree.
  void SetSelected(bool selected);
  // Shows one page of a tab layout, or picks a combo item. False when out of range.
  bool SelectIndex(int index);

  ControlLook look;
  LayoutSpec layout;
  ControlState state;
  Rect rect;  // computed by the layout pass

 private:
  void ClearGroup(const std::string& group, const Control* keep);

  ControlKind kind_;
  std::string name_;
  Control* parent_ = nullptr;
  std::vector<std::unique_ptr<Control>> children_;
};

}  // namespace toolkit
