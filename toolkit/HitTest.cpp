#include "toolkit/HitTest.h"

namespace toolkit {

namespace {

Control* HitChildren(Control* parent, Point point, bool floating) {
  const auto& children = parent->children();
  for (auto child = children.rbegin(); child != children.rend(); ++child) {
    if ((*child)->layout.floating != floating) continue;
    if (Control* hit = HitTest(child->get(), point)) return hit;
  }
  return nullptr;
}

}  // namespace

Control* HitTest(Control* root, Point point) {
  if (!root->state.visible || !root->state.enabled || !root->rect.Contains(point)) return nullptr;
  if (Control* hit = HitChildren(root, point, true)) return hit;
  if (Control* hit = HitChildren(root, point, false)) return hit;
  return root;
}

}  // namespace toolkit
