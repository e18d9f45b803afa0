#include "toolkit/SkinWindow.h"

#include <easylogging++.h>

#include <algorithm>

#include "platform/Platform.h"
#include "toolkit/HitTest.h"
#include "toolkit/LayoutParser.h"
#include "toolkit/LayoutPass.h"
#include "toolkit/Markup.h"
#include "toolkit/TextOverflow.h"

namespace toolkit {

namespace {

// A control the user can reach: shown with all its ancestors, and enabled.
bool Reachable(const Control* control) {
  for (; control; control = control->parent())
    if (!control->state.visible || !control->state.enabled) return false;
  return true;
}

bool Contains(const std::vector<FocusTarget>& stops, const FocusTarget& target) {
  return std::find(stops.begin(), stops.end(), target) != stops.end();
}

bool Toggles(ControlKind kind) {
  return kind == ControlKind::kButton || kind == ControlKind::kCheckBox || kind == ControlKind::kOption;
}

constexpr int kScrollLine = 24;  // layout pixels an arrow key scrolls

}  // namespace

SkinWindow::SkinWindow(MessageLoop& loop) : loop_(loop) {}

SkinWindow::~SkinWindow() { Destroy(); }

void SkinWindow::Destroy() {
  if (native_) loop_.backend().DestroyNativeWindow(handle_);
  native_ = false;
  if (handle_) loop_.RemoveWindow(handle_);
}

bool SkinWindow::Create(const ResourceArchive& archive, const std::wstring& folder,
                        const std::wstring& file, const WindowSpec& spec) {
  if (handle_) return false;
  LayoutParser parser(archive, folder);
  if (!parser.ParseWindow(file, &layout_)) {
    LOG(ERROR) << " Window layout " << platform::WideToUtf8(file) << ": " << parser.error();
    return false;
  }
  ArrangeWindow(&layout_.root, layout_.size, layout_.rightToLeft);
  handle_ = loop_.AddWindow(
      [this](unsigned message, intptr_t wparam, intptr_t lparam) { Deliver(message, wparam, lparam); },
      [this](unsigned id) { Send("timer", nullptr, static_cast<int>(id)); });
  spec_ = spec;
  native_ = loop_.backend().CreateNativeWindow(*this, spec_);
  if (!native_) {
    LOG(ERROR) << " Window " << platform::WideToUtf8(file) << ": the system refused to create it";
    return false;
  }
  Send("windowinit", nullptr);
  LogTextOverflows(layout_, loop_.backend());  // in the texts the window chose
  return true;
}

void SkinWindow::Arrange() {
  const Rect rect = WindowRect();
  ArrangeWindow(&layout_.root, Size{rect.Width(), rect.Height()}, layout_.rightToLeft);
  Invalidate();
}

int SkinWindow::FittingHeight(Control* text) {
  const Rect& inset = text->layout.inset;
  const int width = ShownRect(text).Width() - inset.left - inset.right;
  return TextHeight(*text, width, layout_, loop_.backend()) + inset.top + inset.bottom;
}

void SkinWindow::ScrollTo(Control* layout, int offset) {
  offset = std::min(std::max(offset, 0), ScrollLimit(*layout));
  if (offset == layout->state.scrollY) return;
  layout->state.scrollY = offset;
  Arrange();
}

void SkinWindow::Show(bool visible) { loop_.backend().SetWindowVisible(handle_, visible); }

int SkinWindow::ShowModal() { return loop_.RunModal(handle_, spec_.owner); }

void SkinWindow::EndModal(int code) { loop_.EndModal(handle_, code); }

Rect SkinWindow::WindowRect() const { return loop_.backend().WindowRect(handle_); }

void SkinWindow::MoveWindow(const Rect& rect) {
  loop_.backend().MoveWindow(handle_, rect);
  Arrange();
}

void SkinWindow::Center() { loop_.backend().CenterWindow(handle_, spec_.owner); }

void SkinWindow::Minimize() { loop_.backend().MinimizeWindow(handle_); }

void SkinWindow::Invalidate() { loop_.backend().Invalidate(handle_); }

void SkinWindow::SetTaskbarProgress(int percent, TaskbarState state) {
  loop_.backend().SetTaskbarProgress(handle_, percent, state);
}

bool SkinWindow::Post(unsigned message, intptr_t wparam, intptr_t lparam) {
  return loop_.Post(handle_, message, wparam, lparam);
}

void SkinWindow::SetTimer(unsigned id, uint64_t intervalMs) { loop_.SetTimer(handle_, id, intervalMs); }

bool SkinWindow::KillTimer(unsigned id) { return loop_.KillTimer(handle_, id); }

void SkinWindow::Close() {
  if (!OnClose()) Show(false);
}

bool SkinWindow::PostClose() { return Post(kCloseMessage); }

void SkinWindow::SetIcon(int resourceId) { loop_.backend().SetWindowIcon(handle_, resourceId); }

bool SkinWindow::BrowseForFolder(std::wstring* folder) {
  return loop_.backend().BrowseForFolder(loop_, handle_, folder);
}

void SkinWindow::Deliver(unsigned message, intptr_t wparam, intptr_t lparam) {
  if (message == kCloseMessage) Close();
  else OnMessage(message, wparam, lparam);
}

void SkinWindow::OnMessage(unsigned, intptr_t, intptr_t) {}

void SkinWindow::Send(const std::string& type, Control* sender, int index) {
  notify_.Dispatch(Notification{type, sender, index});
  if (native_) Invalidate();
}

bool SkinWindow::ClickAt(Point point) {
  Control* hit = HitTest(&layout_.root, point);
  return hit && Activate(hit);
}

// An option of a group stays selected when clicked again; one without a
// group, and a check box, toggle.
bool SkinWindow::Activate(Control* control) {
  const ControlKind kind = control->kind();
  if (kind != ControlKind::kButton && kind != ControlKind::kOption && kind != ControlKind::kCheckBox)
    return false;
  Send("click", control);
  if (kind == ControlKind::kButton) return true;
  const bool grouped = kind == ControlKind::kOption && !control->state.group.empty();
  const bool selected = grouped || !control->state.selected;
  if (selected == control->state.selected) return true;
  control->SetSelected(selected);
  Send("selectchanged", control);
  return true;
}

bool SkinWindow::ChooseItem(Control* combo, int index) {
  if (!combo || combo->kind() != ControlKind::kCombo || !Reachable(combo)) return false;
  if (!combo->SelectIndex(index)) return false;
  Send("itemselect", combo, index);
  return true;
}

bool SkinWindow::FollowLink(Control* text, int link) {
  if (!text || !text->look.markup || !Reachable(text) || link < 0) return false;
  if (static_cast<size_t>(link) >= ParseMarkup(text->look.text).links.size()) return false;
  Send("link", text, link);
  return true;
}


// ---- the keyboard ----

void SkinWindow::SetPrimaryButtons(std::vector<Control*> buttons) { primaryButtons_ = std::move(buttons); }

Size SkinWindow::VisibleSize() const {
  const Rect rect = WindowRect();
  return Size{rect.Width(), rect.Height()};
}

std::vector<FocusTarget> SkinWindow::FocusStops() {
  return FocusOrder(&layout_.root, VisibleSize(), layout_.rightToLeft);
}

void SkinWindow::SetFocusTarget(const FocusTarget& target) {
  focus_ = target;
  const Control* control = target.control;
  const bool grouped = control && target.link < 0 && control->kind() == ControlKind::kOption;
  focusGroup_ = grouped ? control->state.group : std::string();
}

FocusTarget SkinWindow::Focus() {
  const std::vector<FocusTarget> stops = FocusStops();
  Control* primary = nullptr;
  for (Control* button : primaryButtons_)
    if (Contains(stops, FocusTarget{button, -1})) {
      primary = button;
      break;
    }
  if (primary != primary_) {
    primary_ = primary;
    if (primary) SetFocusTarget(FocusTarget{primary, -1});
  }
  if (Contains(stops, focus_)) return focus_;
  // The option gave way to another of its group (the carousel moved on).
  for (const FocusTarget& stop : stops)
    if (!focusGroup_.empty() && stop.link < 0 && stop.control->kind() == ControlKind::kOption &&
        stop.control->state.group == focusGroup_)
      return focus_ = stop;
  SetFocusTarget(primary ? FocusTarget{primary, -1} : stops.empty() ? FocusTarget{} : stops.front());
  return focus_;
}

Control* SkinWindow::PrimaryButton() {
  Focus();
  return primary_;
}

bool SkinWindow::FocusOn(FocusTarget target) {
  if (!Contains(FocusStops(), target)) return false;
  SetFocusTarget(target);
  return true;
}

bool SkinWindow::MoveFocus(bool forward) {
  const std::vector<FocusTarget> stops = FocusStops();
  if (stops.empty()) return false;
  const size_t count = stops.size();
  const auto at = std::find(stops.begin(), stops.end(), Focus());
  size_t next = forward ? 0 : count - 1;
  if (at != stops.end()) next = (static_cast<size_t>(at - stops.begin()) + (forward ? 1 : count - 1)) % count;
  SetFocusTarget(stops[next]);
  return true;
}

bool SkinWindow::PressKey(KeyPress press) {
  const FocusTarget focus = Focus();
  Control* control = focus.control;
  const bool alt = (press.modifiers & kAlt) != 0;
  switch (press.key) {
    case Key::kTab:
      return !alt && MoveFocus((press.modifiers & kShift) == 0);
    case Key::kEscape:
      OnCancel();
      return true;
    case Key::kF4:
      if (!alt) return false;
      OnCancel();
      return true;
    case Key::kSpace:
      return control && focus.link < 0 && Toggles(control->kind()) && Press(focus);
    case Key::kEnter:
      if (control && (focus.link >= 0 || control->kind() == ControlKind::kButton)) return Press(focus);
      if (control && control->kind() == ControlKind::kCombo) return false;
      return primary_ && Activate(primary_);  // the focus stays where it is
    default:
      return control && focus.link < 0 && MoveWithin(focus, press.key);
  }
}

bool SkinWindow::Press(FocusTarget target) {
  Control* control = target.control;
  if (!control || VisiblePart(*control, VisibleSize()).Width() <= 0 || !EnabledChain(*control)) return false;
  const ControlKind kind = control->kind();
  SetFocusTarget(target);
  if (target.link >= 0) return FollowLink(control, target.link);
  if (Toggles(kind)) return Activate(control);
  return kind == ControlKind::kEdit || control->layout.vscrollbar;
}

bool SkinWindow::MoveWithin(const FocusTarget& focus, Key key) {
  Control* control = focus.control;
  if (control->kind() == ControlKind::kCombo) return ChooseNextItem(control, key);
  if (control->layout.vscrollbar) return ScrollBy(control, key);
  if (control->kind() != ControlKind::kOption || control->state.group.empty()) return false;
  const bool rtl = layout_.rightToLeft;
  const bool back = key == Key::kUp || key == (rtl ? Key::kRight : Key::kLeft);
  const bool on = key == Key::kDown || key == (rtl ? Key::kLeft : Key::kRight);
  if (!back && !on) return false;
  const std::vector<Control*> group = GroupOrder(&layout_.root, control, VisibleSize(), rtl);
  const size_t count = group.size();
  const size_t at = static_cast<size_t>(std::find(group.begin(), group.end(), control) - group.begin()) % count;
  return Press(FocusTarget{group[(at + (on ? 1 : count - 1)) % count], -1});
}

// Up and Left choose the item before, Down and Right the one after, Home and
// End the first and the last; items not shown are passed over.
bool SkinWindow::ChooseNextItem(Control* combo, Key key) {
  std::vector<int> shown;
  for (size_t i = 0; i < combo->children().size(); ++i)
    if (combo->children()[i]->state.visible) shown.push_back(static_cast<int>(i));
  if (shown.empty()) return false;
  const auto at = std::find(shown.begin(), shown.end(), combo->state.selectedIndex);
  const int position = at == shown.end() ? -1 : static_cast<int>(at - shown.begin());
  const int last = static_cast<int>(shown.size()) - 1;
  int next = position;
  switch (key) {
    case Key::kUp: case Key::kLeft: next = std::max(position - 1, 0); break;
    case Key::kDown: case Key::kRight: next = std::min(position + 1, last); break;
    case Key::kHome: next = 0; break;
    case Key::kEnd: next = last; break;
    default: return false;
  }
  return next == position || ChooseItem(combo, shown[static_cast<size_t>(next)]);
}

bool SkinWindow::ScrollBy(Control* layout, Key key) {
  const int page = std::max(layout->rect.Height() - layout->layout.inset.top - layout->layout.inset.bottom, kScrollLine);
  int offset = layout->state.scrollY;
  switch (key) {
    case Key::kUp: offset -= kScrollLine; break;
    case Key::kDown: offset += kScrollLine; break;
    case Key::kPageUp: offset -= page; break;
    case Key::kPageDown: offset += page; break;
    case Key::kHome: offset = 0; break;
    case Key::kEnd: offset = ScrollLimit(*layout); break;
    default: return false;
  }
  ScrollTo(layout, offset);
  return true;
}

}  // namespace toolkit
