#include "toolkit/LayoutPass.h"

#include <algorithm>
#include <vector>

namespace toolkit {

namespace {

void Arrange(Control* control, const Rect& rect);

// One axis of a layout: the main axis runs along the children, the cross
// axis across them.
struct Axis {
  bool horizontal;
  int Fixed(const Control& c) const { return horizontal ? c.layout.width : c.layout.height; }
  int Min(const Control& c) const { return horizontal ? c.layout.minWidth : c.layout.minHeight; }
  int Max(const Control& c) const { return horizontal ? c.layout.maxWidth : c.layout.maxHeight; }
  int Before(const Rect& r) const { return horizontal ? r.left : r.top; }
  int After(const Rect& r) const { return horizontal ? r.right : r.bottom; }
  int Length(const Rect& r) const { return horizontal ? r.Width() : r.Height(); }
  int Clamp(const Control& c, int length) const {
    if (Max(c) > 0) length = std::min(length, Max(c));
    return std::max({length, Min(c), 0});
  }
  Axis Cross() const { return Axis{!horizontal}; }
};

void Clear(Control* control) {
  control->rect = Rect{};
  for (const auto& child : control->children()) Clear(child.get());
}

Rect Deflate(const Rect& rect, const Rect& edges) {
  return Rect{rect.left + edges.left, rect.top + edges.top, std::max(rect.left + edges.left, rect.right - edges.right),
              std::max(rect.top + edges.top, rect.bottom - edges.bottom)};
}

// Fixed children keep their (clamped) size; the stretching ones share what is
// left, the last taking the rounding remainder. A share that breaks a child's
// min or max settles that child and the rest is shared again.
std::vector<int> MainLengths(const std::vector<Control*>& children, const Axis& axis, int available) {
  std::vector<int> lengths(children.size());
  std::vector<bool> settled(children.size());
  for (size_t i = 0; i < children.size(); ++i) {
    available -= axis.Before(children[i]->layout.padding) + axis.After(children[i]->layout.padding);
    if (axis.Fixed(*children[i]) > 0) {
      lengths[i] = axis.Clamp(*children[i], axis.Fixed(*children[i]));
      settled[i] = true;
    }
  }
  for (bool again = true; again;) {
    again = false;
    int left = available, open = 0;
    for (size_t i = 0; i < children.size(); ++i) settled[i] ? left -= lengths[i] : ++open;
    if (open == 0) break;
    const int share = std::max(left, 0) / open;
    int remainder = std::max(left, 0) - share * open;
    for (size_t i = children.size(); i-- > 0;) {
      if (settled[i]) continue;
      const int wanted = share + remainder;
      remainder = 0;
      lengths[i] = axis.Clamp(*children[i], wanted);
      if (lengths[i] != wanted) again = settled[i] = true;
    }
  }
  return lengths;
}

void ArrangeLine(const std::vector<Control*>& children, const Rect& content, const Axis& axis,
                 int gap) {
  const int gaps = children.empty() ? 0 : gap * static_cast<int>(children.size() - 1);
  const std::vector<int> lengths = MainLengths(children, axis, axis.Length(content) - gaps);
  const Axis cross = axis.Cross();
  int position = axis.Before(content);
  for (size_t i = 0; i < children.size(); ++i) {
    Control* child = children[i];
    const Rect& pad = child->layout.padding;
    const int crossStart = cross.Before(content) + cross.Before(pad);
    const int crossLength = cross.Clamp(*child, cross.Fixed(*child) > 0
                                                    ? cross.Fixed(*child)
                                                    : cross.Length(content) - cross.Before(pad) - cross.After(pad));
    position += axis.Before(pad);
    const int mainEnd = position + lengths[i];
    Arrange(child, axis.horizontal ? Rect{position, crossStart, mainEnd, crossStart + crossLength}
                                   : Rect{crossStart, position, crossStart + crossLength, mainEnd});
    position = mainEnd + axis.After(pad) + gap;
  }
}

Rect FloatRect(const Control& child, const Rect& parent) {
  const Rect& pos = child.layout.pos;
  const int width = child.layout.width > 0 ? child.layout.width : pos.Width();
  const int height = child.layout.height > 0 ? child.layout.height : pos.Height();
  return Rect{parent.left + pos.left, parent.top + pos.top, parent.left + pos.left + std::max(width, 0),
              parent.top + pos.top + std::max(height, 0)};
}

void ArrangeChildren(Control* control) {
  const Rect content = Deflate(control->rect, control->layout.inset);
  std::vector<Control*> line;
  const bool tab = control->kind() == ControlKind::kTabLayout;
  const bool carries = HoldsChildren(control->kind()) && control->kind() != ControlKind::kCombo;
  for (size_t i = 0; i < control->children().size(); ++i) {
    Control* child = control->children()[i].get();
    const bool shown = carries && child->state.visible &&
                       (!tab || static_cast<int>(i) == control->state.selectedIndex);
    if (!shown) Clear(child);
    else if (child->layout.floating) Arrange(child, FloatRect(*child, control->rect));
    else if (tab) Arrange(child, Deflate(content, child->layout.padding));
    else line.push_back(child);
  }
  ArrangeLine(line, content, Axis{control->kind() == ControlKind::kHorizontalLayout},
              control->layout.childPadding);
}

void Offset(Control* control, int dy) {
  if (control->rect == Rect{}) return;  // not shown: stays empty
  control->rect.top += dy;
  control->rect.bottom += dy;
  for (const auto& child : control->children()) Offset(child.get(), dy);
}

void Scroll(Control* control) {
  const int wanted = control->state.scrollY;
  control->state.scrollY = 0;  // the children are not moved yet
  control->state.scrollY = std::min(std::max(wanted, 0), ScrollLimit(*control));
  for (const auto& child : control->children()) Offset(child.get(), -control->state.scrollY);
}

void Arrange(Control* control, const Rect& rect) {
  control->rect = rect;
  ArrangeChildren(control);
  if (control->layout.vscrollbar) Scroll(control);
}

void Mirror(Control* control, int width) {
  if (control->rect == Rect{}) return;  // not shown: stays empty
  control->rect = Rect{width - control->rect.right, control->rect.top, width - control->rect.left, control->rect.bottom};
  for (const auto& child : control->children()) Mirror(child.get(), width);
}

}  // namespace

int ScrollLimit(const Control& layout) {
  const Rect content = Deflate(layout.rect, layout.layout.inset);
  int bottom = content.top;  // where the children end when not scrolled
  for (const auto& child : layout.children())
    if (child->rect.Height() > 0 && !child->layout.floating)
      bottom = std::max(bottom, child->rect.bottom + layout.state.scrollY + child->layout.padding.bottom);
  return std::max(bottom - content.bottom, 0);
}

// The pages on the way down to the control that their tab does not show are
// arranged where their tab would put them, outermost first, and cleared again.
Rect ShownRect(Control* control) {
  std::vector<Control*> path;
  for (Control* c = control; c; c = c->parent()) path.insert(path.begin(), c);
  Control* arranged = nullptr;
  for (size_t i = 0; i + 1 < path.size(); ++i) {
    Control* tab = path[i];
    Control* page = path[i + 1];
    const auto& pages = tab->children();
    const bool shown = tab->kind() != ControlKind::kTabLayout ||
                       (tab->state.selectedIndex >= 0 && tab->state.selectedIndex < static_cast<int>(pages.size()) &&
                        pages[tab->state.selectedIndex].get() == page);
    if (shown || !page->state.visible) continue;
    Arrange(page, Deflate(Deflate(tab->rect, tab->layout.inset), page->layout.padding));
    if (!arranged) arranged = page;
  }
  const Rect rect = control->rect;
  if (arranged) Clear(arranged);
  return rect;
}

Rect ShownInset(const Control& control, bool mirrored) {
  const Rect& inset = control.layout.inset;
  return mirrored ? Rect{inset.right, inset.top, inset.left, inset.bottom} : inset;
}

void ArrangeWindow(Control* root, Size size, bool mirrored) {
  if (!root->state.visible) return Clear(root);
  Arrange(root, Rect{0, 0, size.width, size.height});
  if (mirrored) Mirror(root, size.width);
}

}  // namespace toolkit
