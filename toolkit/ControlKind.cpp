#include "toolkit/ControlKind.h"

namespace toolkit {

namespace {

struct KindEntry {
  ControlKind kind;
  const char* name;
};

constexpr KindEntry kKinds[] = {
    {ControlKind::kWindow, "Window"},
    {ControlKind::kControl, "Control"},
    {ControlKind::kVerticalLayout, "VerticalLayout"},
    {ControlKind::kHorizontalLayout, "HorizontalLayout"},
    {ControlKind::kTabLayout, "TabLayout"},
    {ControlKind::kLabel, "Label"},
    {ControlKind::kText, "Text"},
    {ControlKind::kButton, "Button"},
    {ControlKind::kOption, "Option"},
    {ControlKind::kCheckBox, "CheckBox"},
    {ControlKind::kCombo, "Combo"},
    {ControlKind::kListLabelElement, "ListLabelElement"},
    {ControlKind::kEdit, "Edit"},
    {ControlKind::kProgress, "Progress"},
    {ControlKind::kRichEdit, "RichEdit"},
    {ControlKind::kScrollBar, "ScrollBar"},
};

}  // namespace

bool KindFromName(const std::string& name, ControlKind* kind) {
  for (const KindEntry& entry : kKinds) {
    if (entry.kind != ControlKind::kWindow && name == entry.name) {
      *kind = entry.kind;
      return true;
    }
  }
  return false;
}

const char* KindName(ControlKind kind) {
  for (const KindEntry& entry : kKinds)
    if (entry.kind == kind) return entry.name;
  return "?";
}

// A combo holds its list items as children.
bool HoldsChildren(ControlKind kind) {
  return kind == ControlKind::kWindow || kind == ControlKind::kVerticalLayout ||
         kind == ControlKind::kHorizontalLayout || kind == ControlKind::kTabLayout ||
         kind == ControlKind::kCombo;
}

}  // namespace toolkit
