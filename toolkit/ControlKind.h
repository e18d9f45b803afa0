// The classes of controls a layout may name, and what each can hold.
#pragma once

#include <string>

namespace toolkit {

enum class ControlKind {
  kWindow,  // the root of a window's tree; lays its children out vertically
  kControl,  // an empty spacer
  kVerticalLayout,
  kHorizontalLayout,
  kTabLayout,
  kLabel,
  kText,
  kButton,
  kOption,
  kCheckBox,
  kCombo,
  kListLabelElement,
  kEdit,
  kProgress,
  kRichEdit,
  kScrollBar,
};

// The element name of a layout ("VerticalLayout") for each kind but kWindow.
bool KindFromName(const std::string& name, ControlKind* kind);
const char* KindName(ControlKind kind);
bool HoldsChildren(ControlKind kind);

}  // namespace toolkit
