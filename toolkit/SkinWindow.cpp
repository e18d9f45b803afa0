#include "toolkit/SkinWindow.h"

#include <easylogging++.h>

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

}  // namespace

SkinWindow::SkinWindow(MessageLoop& loop) : loop_(loop) {}

SkinWindow::~SkinWindow() {
  if (native_) loop_.backend().DestroyNativeWindow(handle_);
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

}  // namespace toolkit
