#include "toolkit/win32/ComboDropDown.h"

#include <windowsx.h>

namespace toolkit {

namespace {

const wchar_t kClassName[] = L"ToolkitComboDropDown";
// Posted to the list: a screen reader's default action on a row (wparam: its id).
constexpr UINT kChooseMessage = WM_APP + 0x302;

void RegisterOnce(WNDPROC procedure) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(GetModuleHandleW(nullptr), kClassName, &existing)) return;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_DROPSHADOW;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.lpszClassName = kClassName;
  RegisterClassExW(&windowClass);
}

}  // namespace

ComboDropDown::ComboDropDown(TextPainter& text, const WindowLayout& layout, const DpiScale& scale, Pick pick)
    : text_(text), layout_(layout), scale_(scale), pick_(std::move(pick)) {}

ComboDropDown::~ComboDropDown() { Close(); }

bool ComboDropDown::Open(HWND owner, Control* combo, const std::wstring& name) {
  Close();
  name_ = name;
  items_.clear();
  for (size_t i = 0; i < combo->children().size(); ++i)
    if (combo->children()[i]->state.visible) items_.push_back(static_cast<int>(i));
  if (items_.empty()) return false;
  RegisterOnce(&Procedure);
  const Rect screen = scale_.ToScreen(combo->rect);
  POINT origin{screen.left, screen.bottom};
  ClientToScreen(owner, &origin);
  const int width = screen.Width(), height = scale_.ToScreen(kItemHeight * static_cast<int>(items_.size()) + 2);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  if (origin.y + height > work.bottom) origin.y -= height + screen.Height();  // no room below: above the combo
  popup_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kClassName, L"", WS_POPUP,
                           origin.x, origin.y, width, height, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!popup_) return false;
  combo_ = combo;
  hot_ = -1;
  for (size_t row = 0; row < items_.size(); ++row)
    if (items_[row] == combo->state.selectedIndex) hot_ = static_cast<int>(row);
  SetWindowLongPtrW(popup_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ShowWindow(popup_, SW_SHOWNOACTIVATE);
  SetCapture(popup_);
  events_ = AccessibleEvents();
  events_.Report(popup_, Self(), Children(), FocusedChild());
  NotifyWinEvent(EVENT_SYSTEM_MENUPOPUPSTART, popup_, OBJID_CLIENT, CHILDID_SELF);
  if (hot_ >= 0) NotifyWinEvent(EVENT_OBJECT_FOCUS, popup_, OBJID_CLIENT, hot_ + 1);
  return true;
}

void ComboDropDown::Close() {
  if (!popup_) return;
  HWND popup = popup_;
  popup_ = nullptr;  // first, so that losing the capture does not close again
  combo_ = nullptr;
  if (GetCapture() == popup) ReleaseCapture();
  NotifyWinEvent(EVENT_SYSTEM_MENUPOPUPEND, popup, OBJID_CLIENT, CHILDID_SELF);
  DestroyWindow(popup);
  if (accessible_) {  // a screen reader may hold on to the list: it fails from now on
    accessible_->Detach();
    accessible_->Release();
    accessible_ = nullptr;
  }
}

bool ComboDropDown::HandleKey(WPARAM key) {
  if (!popup_) return false;
  const int rows = static_cast<int>(items_.size());
  switch (key) {
    case VK_ESCAPE: Close(); return true;
    case VK_RETURN: Choose(hot_); return true;
    case VK_UP: SetHot(hot_ <= 0 ? 0 : hot_ - 1); return true;
    case VK_DOWN: SetHot(hot_ + 1 >= rows ? rows - 1 : hot_ + 1); return true;
    default: return false;
  }
}

void ComboDropDown::SetHot(int row) {
  if (!popup_ || row < 0 || row >= static_cast<int>(items_.size()) || row == hot_) return;
  hot_ = row;
  InvalidateRect(popup_, nullptr, FALSE);
  events_.Report(popup_, Self(), Children(), FocusedChild());
  NotifyWinEvent(EVENT_OBJECT_SELECTION, popup_, OBJID_CLIENT, hot_ + 1);
}

void ComboDropDown::Choose(int row) {
  Control* combo = combo_;
  const int index = row >= 0 && row < static_cast<int>(items_.size()) ? items_[row] : -1;
  Close();
  if (index >= 0) pick_(combo, index);
}

int ComboDropDown::ItemAt(LPARAM lparam) const {
  const int y = scale_.ToLayout(GET_Y_LPARAM(lparam)) - 1, x = GET_X_LPARAM(lparam);
  RECT client;
  GetClientRect(popup_, &client);
  if (x < 0 || x >= client.right || y < 0) return -1;
  const int row = y / kItemHeight;
  return row < static_cast<int>(items_.size()) ? row : -1;
}

LRESULT CALLBACK ComboDropDown::Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<ComboDropDown*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && self->popup_ == hwnd) return self->Handle(message, wparam, lparam);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT ComboDropDown::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: Paint(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_MOUSEMOVE:
      SetHot(ItemAt(lparam));
      return 0;
    case WM_GETOBJECT:
      if (static_cast<DWORD>(lparam) != static_cast<DWORD>(OBJID_CLIENT)) break;
      if (!accessible_) accessible_ = new AccessibleObject(this);
      return LresultFromObject(__uuidof(IAccessible), wparam, static_cast<IAccessible*>(accessible_));
    case kChooseMessage:
      Choose(static_cast<int>(wparam) - 1);
      return 0;
    case WM_LBUTTONDOWN: {
      const int row = ItemAt(lparam);
      if (row < 0) Close();  // a click outside the list
      else Choose(row);
      return 0;
    }
    case WM_CAPTURECHANGED: Close(); return 0;
    default: break;
  }
  return DefWindowProcW(popup_, message, wparam, lparam);
}

void ComboDropDown::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(popup_, &paint);
  RECT client;
  GetClientRect(popup_, &client);
  {
    Gdiplus::Bitmap buffer(client.right, client.bottom, PixelFormat32bppPARGB);
    Gdiplus::Graphics graphics(&buffer);
    PrepareGraphics(graphics, scale_.factor());
    const float width = scale_.ToLayout(client.right) + 1.0f;
    graphics.Clear(Gdiplus::Color(255, 255, 255, 255));
    const FontSpec& font = LayoutFont(combo_->look.font, layout_);
    const uint32_t color = combo_->look.textColor ? combo_->look.textColor : 0xFF000000u;
    for (size_t row = 0; row < items_.size(); ++row) {
      const Gdiplus::RectF box(1, 1 + static_cast<float>(row) * kItemHeight, width - 2, kItemHeight);
      if (static_cast<int>(row) == hot_) {
        Gdiplus::SolidBrush hot(Gdiplus::Color(255, 232, 240, 254));
        graphics.FillRectangle(&hot, box);
      }
      const float inset = static_cast<float>(combo_->layout.inset.left);  // at the side the text starts at
      const Gdiplus::RectF text(box.X + (layout_.rightToLeft ? 0 : inset), box.Y, box.Width - inset, box.Height);
      const TextPainter::PlainStyle style{kAlignLeft | kAlignVCenter, false, true, layout_.language, layout_.rightToLeft};
      text_.DrawPlain(graphics, combo_->children()[items_[row]]->look.text, font, color, text, style);
    }
    Gdiplus::Pen border(Gdiplus::Color(255, 200, 205, 210), 1.0f);
    graphics.DrawRectangle(&border, 0.5f, 0.5f, width - 1.5f, kItemHeight * static_cast<float>(items_.size()) + 1);
    Gdiplus::Graphics screen(dc);
    screen.DrawImage(&buffer, 0, 0);
  }
  EndPaint(popup_, &paint);
}

AccessibleNode ComboDropDown::Self() {
  AccessibleNode self;
  self.role = ROLE_SYSTEM_LIST;
  self.name = name_;
  self.states = STATE_SYSTEM_FOCUSABLE;
  if (popup_) GetWindowRect(popup_, &self.location);
  return self;
}

std::vector<AccessibleNode> ComboDropDown::Children() {
  std::vector<AccessibleNode> rows;
  for (long id = 1; id <= static_cast<long>(items_.size()); ++id) {
    rows.emplace_back();
    Child(id, &rows.back());
  }
  return rows;
}

bool ComboDropDown::Child(long id, AccessibleNode* node) {
  if (!popup_ || !combo_ || id < 1 || id > static_cast<long>(items_.size())) return false;
  const int row = static_cast<int>(id) - 1;
  node->id = id;
  node->role = ROLE_SYSTEM_LISTITEM;
  const std::wstring& text = combo_->children()[items_[row]]->look.text;
  const size_t first = text.find_first_not_of(L' ');
  node->name = first == std::wstring::npos ? L"" : text.substr(first);
  node->value.clear();
  node->states = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE |
                 (row == hot_ ? STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED : 0);
  node->defaultAction = L"Double Click";
  RECT client;
  GetWindowRect(popup_, &client);
  const int top = scale_.ToScreen(1 + row * kItemHeight), bottom = scale_.ToScreen(1 + (row + 1) * kItemHeight);
  node->location = RECT{client.left, client.top + top, client.right, client.top + bottom};
  return true;
}

void ComboDropDown::DoDefaultAction(long id) { PostMessageW(popup_, kChooseMessage, static_cast<WPARAM>(id), 0); }

}  // namespace toolkit
