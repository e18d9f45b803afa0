#include "toolkit/AccessibleItems.h"

#include <algorithm>

#include "toolkit/LayoutPass.h"
#include "toolkit/Markup.h"
#include "toolkit/SkinWindow.h"

namespace toolkit {

namespace {

// Line breaks and runs of blanks read as one blank.
std::wstring Spoken(const std::wstring& text) {
  std::wstring spoken;
  for (wchar_t c : text) {
    const bool blank = c == L' ' || c == L'\n' || c == L'\r' || c == L'\t';
    if (blank && (spoken.empty() || spoken.back() == L' ')) continue;
    spoken += blank ? L' ' : c;
  }
  while (!spoken.empty() && spoken.back() == L' ') spoken.pop_back();
  return spoken;
}

std::wstring PlainText(const Control& control) {
  return Spoken(control.look.markup ? ParseMarkup(control.look.text).PlainText() : control.look.text);
}

// The words of link `link` of a markup text.
std::wstring LinkText(const Control& control, int link) {
  std::wstring words;
  for (const TextRun& run : ParseMarkup(control.look.text).runs)
    if (run.style.link == link) words += run.kind == TextRun::Kind::kText ? run.text : L" ";
  return Spoken(words);
}

int Percent(int value, int low, int high) {
  if (high <= low) return 0;
  return static_cast<int>((static_cast<int64_t>(std::clamp(value, low, high)) - low) * 100 / (high - low));
}

bool IsText(ControlKind kind) {
  return kind == ControlKind::kLabel || kind == ControlKind::kText || kind == ControlKind::kRichEdit;
}

// The item of a control, before its name is looked for; false when the
// control is nothing a reader is told of.
bool Describe(const Control& control, AccessibleItem* item) {
  switch (control.kind()) {
    case ControlKind::kButton: item->role = AccessibleRole::kPushButton; break;
    case ControlKind::kCheckBox: item->role = AccessibleRole::kCheckButton; break;
    case ControlKind::kOption: item->role = AccessibleRole::kRadioButton; break;
    case ControlKind::kCombo: {
      item->role = AccessibleRole::kComboBox;
      const int index = control.state.selectedIndex;
      const auto& items = control.children();
      if (index >= 0 && static_cast<size_t>(index) < items.size()) item->value = Spoken(items[index]->look.text);
      break;
    }
    case ControlKind::kEdit:
      item->role = AccessibleRole::kEditableText;
      if (control.state.password) item->states |= kAccProtected;
      else item->value = control.look.text;
      if (control.state.readOnly) item->states |= kAccReadOnly;
      break;
    case ControlKind::kProgress:
      item->role = AccessibleRole::kProgressBar;
      item->value = std::to_wstring(Percent(control.state.value, control.state.min, control.state.max)) + L"%";
      item->states |= kAccReadOnly;
      break;
    default:
      if (control.layout.vscrollbar && ScrollLimit(control) > 0) {
        item->role = AccessibleRole::kScrollBar;
        item->value = std::to_wstring(Percent(control.state.scrollY, 0, ScrollLimit(control))) + L"%";
        break;
      }
      if (!IsText(control.kind())) return false;
      item->role = AccessibleRole::kStaticText;
      item->name = PlainText(control);
      item->states |= kAccReadOnly;
      return !item->name.empty();
  }
  if (control.kind() != ControlKind::kCombo && control.kind() != ControlKind::kEdit) item->name = PlainText(control);
  if (item->name.empty()) item->name = Spoken(control.look.tooltip);
  return true;
}

void Collect(Control* control, Size window, std::vector<AccessibleItem>* items) {
  const Rect part = VisiblePart(*control, window);
  if (part.Width() <= 0) return;
  AccessibleItem item;
  item.target = FocusTarget{control, -1};
  item.rect = part;
  if (Describe(*control, &item)) items->push_back(item);
  if (IsText(control->kind()) && control->look.markup) {
    const size_t links = ParseMarkup(control->look.text).links.size();
    for (int link = 0; link < static_cast<int>(links); ++link) {
      AccessibleItem linked;
      linked.target = FocusTarget{control, link};
      linked.role = AccessibleRole::kLink;
      linked.name = LinkText(*control, link);
      linked.states = kAccLinked;
      linked.rect = part;
      items->push_back(linked);
    }
  }
  if (control->kind() == ControlKind::kCombo) return;
  for (const auto& child : control->children()) Collect(child.get(), window, items);
}

// A control without a name of its own takes the label next to it.
void NameByLabels(std::vector<AccessibleItem>* items) {
  const auto isLabel = [items](size_t at) {
    return at < items->size() && (*items)[at].role == AccessibleRole::kStaticText;
  };
  for (size_t at = 0; at < items->size(); ++at) {
    AccessibleItem& item = (*items)[at];
    if (!item.name.empty() || item.role == AccessibleRole::kStaticText || item.role == AccessibleRole::kLink) continue;
    const bool labelAfter = item.role == AccessibleRole::kCheckButton || item.role == AccessibleRole::kRadioButton;
    const size_t label = labelAfter ? at + 1 : at - 1;  // at 0, the index wraps past the end
    if (isLabel(label)) item.name = (*items)[label].name;
  }
}

}  // namespace

std::vector<AccessibleItem> AccessibleItems(SkinWindow& window) {
  const Rect frame = window.WindowRect();
  const Size size{frame.Width(), frame.Height()};
  std::vector<AccessibleItem> found;
  Collect(&window.layout().root, size, &found);
  std::vector<Rect> rects;
  for (const AccessibleItem& item : found) rects.push_back(item.rect);
  std::vector<AccessibleItem> items;
  for (size_t index : ReadingOrder(rects, window.layout().rightToLeft)) items.push_back(found[index]);
  NameByLabels(&items);

  const FocusTarget focus = window.Focus();
  const Control* primary = window.PrimaryButton();
  const std::vector<FocusTarget> stops = window.FocusStops();
  for (AccessibleItem& item : items) {
    const Control& control = *item.target.control;
    const bool stop = std::find(stops.begin(), stops.end(), item.target) != stops.end();
    // The options of a group other than its stop are reached by the arrows.
    const bool grouped = item.role == AccessibleRole::kRadioButton && EnabledChain(control);
    if (stop || grouped) item.states |= kAccFocusable;
    if (item.target == focus) item.states |= kAccFocused;
    if (!EnabledChain(control)) item.states |= kAccUnavailable;
    if (&control == primary && item.target.link < 0) item.states |= kAccDefault;
    if ((item.role == AccessibleRole::kCheckButton || item.role == AccessibleRole::kRadioButton) &&
        control.state.selected)
      item.states |= kAccChecked;
  }
  return items;
}

const char* AccessibleRoleName(AccessibleRole role) {
  switch (role) {
    case AccessibleRole::kPushButton: return "push button";
    case AccessibleRole::kCheckButton: return "check button";
    case AccessibleRole::kRadioButton: return "radio button";
    case AccessibleRole::kComboBox: return "combo box";
    case AccessibleRole::kEditableText: return "editable text";
    case AccessibleRole::kProgressBar: return "progress bar";
    case AccessibleRole::kStaticText: return "static text";
    case AccessibleRole::kLink: return "link";
    case AccessibleRole::kScrollBar: return "scroll bar";
  }
  return "?";
}

}  // namespace toolkit
