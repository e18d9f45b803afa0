#include "toolkit/Control.h"

#include <algorithm>

namespace toolkit {

Control::Control(ControlKind kind) : kind_(kind) {
  // A tab shows its first page and a combo starts without a choice.
  if (kind == ControlKind::kCombo) state.selectedIndex = -1;
}

Control* Control::Add(std::unique_ptr<Control> child) {
  child->parent_ = this;
  children_.push_back(std::move(child));
  Control* added = children_.back().get();
  // An option that arrives selected takes the selection of its group.
  if (added->state.selected) added->SetSelected(true);
  return added;
}

bool Control::Remove(const Control* child) {
  const auto found = std::find_if(children_.begin(), children_.end(),
                                  [child](const auto& owned) { return owned.get() == child; });
  if (found == children_.end()) return false;
  children_.erase(found);
  return true;
}

Control* Control::Find(const std::string& name) {
  if (name_ == name) return this;
  for (const auto& child : children_)
    if (Control* found = child->Find(name)) return found;
  return nullptr;
}

void Control::SetSelected(bool selected) {
  state.selected = selected;
  if (!selected || kind_ != ControlKind::kOption || state.group.empty()) return;
  Control* root = this;
  while (root->parent_) root = root->parent_;
  root->ClearGroup(state.group, this);
}

void Control::ClearGroup(const std::string& group, const Control* keep) {
  if (this != keep && kind_ == ControlKind::kOption && state.group == group) state.selected = false;
  for (const auto& child : children_) child->ClearGroup(group, keep);
}

bool Control::SelectIndex(int index) {
  if (index < 0 || static_cast<size_t>(index) >= children_.size()) return false;
  if (kind_ != ControlKind::kTabLayout && kind_ != ControlKind::kCombo) return false;
  state.selectedIndex = index;
  return true;
}

}  // namespace toolkit
