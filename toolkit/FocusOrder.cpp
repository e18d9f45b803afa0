#include "toolkit/FocusOrder.h"

#include <algorithm>
#include <numeric>

#include "toolkit/LayoutPass.h"
#include "toolkit/Markup.h"

namespace toolkit {

namespace {

Rect Intersect(const Rect& a, const Rect& b) {
  const Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
  return r.Width() > 0 && r.Height() > 0 ? r : Rect{};
}

bool Grouped(const Control& control) { return control.kind() == ControlKind::kOption && !control.state.group.empty(); }

// A control the keyboard stops at itself (links aside).
bool StopsAt(const Control& control) {
  switch (control.kind()) {
    case ControlKind::kButton: case ControlKind::kCheckBox: case ControlKind::kOption: case ControlKind::kCombo:
    case ControlKind::kEdit:
      return true;
    default:
      return control.layout.vscrollbar && ScrollLimit(control) > 0;
  }
}

int LinkCount(const Control& control) {
  if (!control.look.markup || control.look.text.empty()) return 0;
  return static_cast<int>(ParseMarkup(control.look.text).links.size());
}

struct Candidate {
  FocusTarget target;
  Rect rect;
};

void Collect(Control* control, Size window, std::vector<Candidate>* found) {
  if (!control->state.visible || !control->state.enabled) return;
  const Rect part = VisiblePart(*control, window);
  if (part.Width() > 0 && StopsAt(*control)) found->push_back({FocusTarget{control, -1}, part});
  if (part.Width() > 0)
    for (int link = 0, links = LinkCount(*control); link < links; ++link) found->push_back({{control, link}, part});
  if (control->kind() == ControlKind::kCombo) return;  // its items are drawn by its list
  for (const auto& child : control->children()) Collect(child.get(), window, found);
}

std::vector<Candidate> InReadingOrder(std::vector<Candidate> found, bool rightToLeft) {
  std::vector<Rect> rects;
  for (const Candidate& candidate : found) rects.push_back(candidate.rect);
  std::vector<Candidate> ordered;
  for (size_t index : ReadingOrder(rects, rightToLeft)) ordered.push_back(found[index]);
  return ordered;
}

}  // namespace

Rect VisiblePart(const Control& control, Size window) {
  Rect part = Intersect(control.rect, Rect{0, 0, window.width, window.height});
  for (const Control* c = &control; c && part.Width() > 0; c = c->parent()) {
    if (!c->state.visible) return Rect{};
    if (c != &control) part = Intersect(part, c->rect);
  }
  return part;
}

bool EnabledChain(const Control& control) {
  for (const Control* c = &control; c; c = c->parent())
    if (!c->state.enabled) return false;
  return true;
}

std::vector<size_t> ReadingOrder(const std::vector<Rect>& rects, bool rightToLeft) {
  std::vector<size_t> byTop(rects.size());
  std::iota(byTop.begin(), byTop.end(), 0);
  std::stable_sort(byTop.begin(), byTop.end(), [&](size_t a, size_t b) { return rects[a].top < rects[b].top; });
  std::vector<std::vector<size_t>> lines;
  int lineTop = 0, lineBottom = 0;
  for (size_t index : byTop) {
    const Rect& rect = rects[index];
    const int middle = (rect.top + rect.bottom) / 2;
    if (lines.empty() || middle < lineTop || middle >= lineBottom) {
      lines.emplace_back();
      lineTop = rect.top;
      lineBottom = rect.bottom;
    }
    lines.back().push_back(index);
    lineBottom = std::max(lineBottom, rect.bottom);
  }
  std::vector<size_t> order;
  for (std::vector<size_t>& line : lines) {
    std::stable_sort(line.begin(), line.end(), [&](size_t a, size_t b) {
      return rightToLeft ? rects[a].right > rects[b].right : rects[a].left < rects[b].left;
    });
    order.insert(order.end(), line.begin(), line.end());
  }
  return order;
}

std::vector<FocusTarget> FocusOrder(Control* root, Size window, bool rightToLeft) {
  std::vector<Candidate> found;
  Collect(root, window, &found);
  std::vector<FocusTarget> stops;
  std::vector<const Control*> groupsDone;
  for (const Candidate& candidate : InReadingOrder(std::move(found), rightToLeft)) {
    Control* control = candidate.target.control;
    if (candidate.target.link < 0 && Grouped(*control)) {
      if (std::find(groupsDone.begin(), groupsDone.end(), control) != groupsDone.end()) continue;
      const std::vector<Control*> group = GroupOrder(root, control, window, rightToLeft);
      const auto selected = std::find_if(group.begin(), group.end(), [](Control* o) { return o->state.selected; });
      groupsDone.insert(groupsDone.end(), group.begin(), group.end());
      stops.push_back(FocusTarget{selected != group.end() ? *selected : group.front(), -1});
      continue;
    }
    stops.push_back(candidate.target);
  }
  return stops;
}

std::vector<Control*> GroupOrder(Control* root, Control* option, Size window, bool rightToLeft) {
  if (!Grouped(*option)) return {option};
  std::vector<Candidate> found;
  Collect(root, window, &found);
  std::vector<Control*> group;
  for (const Candidate& candidate : InReadingOrder(std::move(found), rightToLeft)) {
    const Control* control = candidate.target.control;
    if (candidate.target.link < 0 && Grouped(*control) && control->state.group == option->state.group)
      group.push_back(candidate.target.control);
  }
  if (group.empty()) group.push_back(option);
  return group;
}

}  // namespace toolkit
