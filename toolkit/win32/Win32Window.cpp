#include "toolkit/win32/Win32Window.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "toolkit/HitTest.h"
#include "toolkit/LayoutPass.h"
#include "toolkit/win32/NamedAccessible.h"

namespace toolkit {

namespace {

const wchar_t kDefaultClass[] = L"ToolkitSkinWindow";
constexpr int kWheelStep = 48;  // layout pixels per notch
// Posted to itself: a screen reader's default action, done after its call returned.
constexpr UINT kDefaultActionMessage = WM_APP + 0x301;
// The child id of the last announcement: raised, never listed.
constexpr long kAnnouncementId = 0x7FFF0000;
// EVENT_OBJECT_LIVEREGIONCHANGED, which headers for Windows 7 leave out.
constexpr DWORD kLiveRegionChanged = 0x8019;
WNDPROC g_editProcedure = nullptr;  // the system's EDIT procedure, which EditProcedure passes on to

bool Pressable(ControlKind kind) {
  switch (kind) {
    case ControlKind::kButton: case ControlKind::kOption: case ControlKind::kCheckBox: case ControlKind::kCombo:
    case ControlKind::kEdit: case ControlKind::kListLabelElement: case ControlKind::kScrollBar:
      return true;
    default:
      return false;
  }
}

bool Clickable(ControlKind kind) {
  return kind == ControlKind::kButton || kind == ControlKind::kOption || kind == ControlKind::kCheckBox;
}

bool Reachable(const Control* control) {
  for (; control; control = control->parent())
    if (!control->state.visible || !control->state.enabled) return false;
  return true;
}

bool IsCombo(const FocusTarget& target) {
  return target.control && target.link < 0 && target.control->kind() == ControlKind::kCombo;
}

bool IsDown(int key) { return GetKeyState(key) < 0; }

bool ToKeyPress(WPARAM key, KeyPress* press) {
  static const std::pair<WPARAM, Key> keys[] = {
      {VK_TAB, Key::kTab},   {VK_RETURN, Key::kEnter}, {VK_SPACE, Key::kSpace}, {VK_ESCAPE, Key::kEscape},
      {VK_LEFT, Key::kLeft}, {VK_RIGHT, Key::kRight},  {VK_UP, Key::kUp},       {VK_DOWN, Key::kDown},
      {VK_HOME, Key::kHome}, {VK_END, Key::kEnd},      {VK_PRIOR, Key::kPageUp}, {VK_NEXT, Key::kPageDown},
      {VK_F4, Key::kF4}};
  for (const auto& [virtualKey, model] : keys) {
    if (virtualKey != key) continue;
    press->key = model;
    press->modifiers = (IsDown(VK_SHIFT) ? kShift : 0u) | (IsDown(VK_MENU) ? kAlt : 0u) |
                       (IsDown(VK_CONTROL) ? kControlKey : 0u);
    return true;
  }
  return false;
}

long RoleOf(AccessibleRole role) {
  switch (role) {
    case AccessibleRole::kPushButton: return ROLE_SYSTEM_PUSHBUTTON;
    case AccessibleRole::kCheckButton: return ROLE_SYSTEM_CHECKBUTTON;
    case AccessibleRole::kRadioButton: return ROLE_SYSTEM_RADIOBUTTON;
    case AccessibleRole::kComboBox: return ROLE_SYSTEM_COMBOBOX;
    case AccessibleRole::kEditableText: return ROLE_SYSTEM_TEXT;
    case AccessibleRole::kProgressBar: return ROLE_SYSTEM_PROGRESSBAR;
    case AccessibleRole::kStaticText: return ROLE_SYSTEM_STATICTEXT;
    case AccessibleRole::kLink: return ROLE_SYSTEM_LINK;
    case AccessibleRole::kScrollBar: return ROLE_SYSTEM_SCROLLBAR;
  }
  return ROLE_SYSTEM_CLIENT;
}

long StatesOf(unsigned states) {
  static const std::pair<unsigned, long> flags[] = {
      {kAccFocused, STATE_SYSTEM_FOCUSED},     {kAccFocusable, STATE_SYSTEM_FOCUSABLE},
      {kAccChecked, STATE_SYSTEM_CHECKED},     {kAccUnavailable, STATE_SYSTEM_UNAVAILABLE},
      {kAccDefault, STATE_SYSTEM_DEFAULT},     {kAccReadOnly, STATE_SYSTEM_READONLY},
      {kAccProtected, STATE_SYSTEM_PROTECTED}, {kAccLinked, STATE_SYSTEM_LINKED}};
  long msaa = 0;
  for (const auto& [flag, state] : flags)
    if (states & flag) msaa |= state;
  return msaa;
}

// The name of what a click does, as Windows' own controls name it.
std::wstring ActionOf(const AccessibleItem& item) {
  switch (item.role) {
    case AccessibleRole::kPushButton: return L"Press";
    case AccessibleRole::kCheckButton: return item.states & kAccChecked ? L"Uncheck" : L"Check";
    case AccessibleRole::kRadioButton: return L"Check";
    case AccessibleRole::kComboBox: return L"Open";
    case AccessibleRole::kLink: return L"Jump";
    default: return L"";
  }
}

void CollectEdits(Control* control, std::vector<Control*>* edits) {
  if (control->kind() == ControlKind::kEdit) edits->push_back(control);
  for (const auto& child : control->children()) CollectEdits(child.get(), edits);
}

std::wstring WindowText(HWND hwnd) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(hwnd, &text[0], static_cast<int>(text.size()))));
  return text;
}

}  // namespace

Win32Window::Win32Window(SkinWindow& window, Painter& painter, TextPainter& text, const DpiScale& scale,
                         bool& keyboardCues, LayoutReport& report)
    : window_(window),
      painter_(painter),
      text_(text),
      scale_(scale),
      keyboardCues_(keyboardCues),
      report_(report),
      dropDown_(text, window.layout(), scale, [this](Control* combo, int index) { window_.ChooseItem(combo, index); }) {}

Win32Window::~Win32Window() {
  *alive_ = false;
  dropDown_.Close();
  if (accessible_) {  // a screen reader may hold it on: it fails from now on
    accessible_->Detach();
    accessible_->Release();
  }
  if (hwnd_) DestroyWindow(hwnd_);  // the edits go with it
  for (const auto& [edit, font] : editFonts_) DeleteObject(font);
  if (bufferDc_) {
    SelectObject(bufferDc_, oldBuffer_);
    DeleteDC(bufferDc_);
  }
  if (buffer_) DeleteObject(buffer_);
}

bool Win32Window::Create(const WindowSpec& spec, HWND owner) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const std::wstring className = spec.className.empty() ? kDefaultClass : spec.className;
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (!GetClassInfoExW(instance, className.c_str(), &existing)) {
    WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
    windowClass.style = spec.classStyle;
    windowClass.lpfnWndProc = &Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = className.c_str();
    if (!RegisterClassExW(&windowClass)) return false;
  }
  const DWORD style = spec.style ? spec.style & ~WS_VISIBLE : WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX;
  layered_ = spec.layered;
  const DWORD exStyle = spec.exStyle | (layered_ ? WS_EX_LAYERED : 0);
  const Size size = window_.layout().size;
  hwnd_ = CreateWindowExW(exStyle, className.c_str(), spec.title.c_str(), style, 0, 0, scale_.ToScreen(size.width),
                          scale_.ToScreen(size.height), owner, nullptr, instance, this);
  if (!hwnd_) return false;
  // A caption style (message boxes have one) must not leave a system frame:
  // the frame is computed again now that the window answers WM_NCCALCSIZE.
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyRegion();
  SyncEdits();
  return true;
}

LRESULT CALLBACK Win32Window::Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->edits_.clear();
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return self->Handle(message, wparam, lparam);
}

LRESULT Win32Window::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCALCSIZE:
      if (wparam) return 0;  // the skin draws the whole window: no system frame or caption
      break;
    case WM_NCACTIVATE: return TRUE;
    case WM_NCPAINT: return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: Paint(); return 0;
    case WM_SIZE:
      ApplyRegion();
      if (layered_) UpdateLayered();
      return 0;
    case WM_WINDOWPOSCHANGED:  // moved, shown, hidden or destroyed; then DefWindowProc sends WM_SIZE
      report_.Moved(window_, hwnd_, scale_, links_);
      break;
    case WM_NCHITTEST: return HitTestFrame(lparam);
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT) {
        POINT cursor;
        GetCursorPos(&cursor);
        ScreenToClient(hwnd_, &cursor);
        const Point point = scale_.ToLayout(Point{cursor.x, cursor.y});
        const Control* hit = HitTest(&window_.layout().root, point);
        if (LinkAt(point) || (hit && (Clickable(hit->kind()) || hit->kind() == ControlKind::kCombo))) {
          SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
          return TRUE;
        }
      }
      break;
    case WM_MOUSEMOVE: OnMouseMove(LayoutPoint(lparam)); return 0;
    case WM_MOUSELEAVE:
      tracking_ = false;
      if (!drag_.layout && (state_.hot || state_.link.text)) {
        state_.hot = nullptr;
        state_.link = TextHover{};
        Redraw();
      }
      return 0;
    case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: OnButtonDown(LayoutPoint(lparam)); return 0;
    case WM_LBUTTONUP: OnButtonUp(LayoutPoint(lparam)); return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lparam) != hwnd_ && (state_.pushed || drag_.layout || pressedLink_.text)) {
        state_.pushed = nullptr;
        drag_ = Drag{};
        pressedLink_ = TextHover{};
        Redraw();
      }
      return 0;
    case WM_MOUSEWHEEL: {
      POINT cursor{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      ScreenToClient(hwnd_, &cursor);
      OnWheel(GET_WHEEL_DELTA_WPARAM(wparam), scale_.ToLayout(Point{cursor.x, cursor.y}));
      return 0;
    }
    case WM_KEYDOWN:
      if (OnKey(wparam, false)) return 0;
      break;
    case WM_SYSKEYDOWN:
      if (OnKey(wparam, true)) return 0;
      break;  // Alt+F4 comes back as SC_CLOSE
    case WM_SYSCOMMAND:
      // Alt+F4, the system menu and the taskbar close as the page's close button does.
      if ((wparam & 0xFFF0) == SC_CLOSE) {
        window_.OnCancel();
        return 0;
      }
      break;
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) dropDown_.Close();
      break;
    case WM_SETFOCUS:
      SyncKeyboardFocus();
      SyncAccessibility();
      return 0;
    case WM_KILLFOCUS:
      SyncAccessibility();
      return 0;
    case WM_GETOBJECT:
      if (const LRESULT answer = AnswerGetObject(wparam, lparam)) return answer;
      break;
    case kDefaultActionMessage:
      DoDefaultActionNow(static_cast<long>(wparam));
      return 0;
    case WM_COMMAND:
      for (const auto& [control, edit] : edits_) {
        if (edit != reinterpret_cast<HWND>(lparam)) continue;
        if (HIWORD(wparam) == EN_CHANGE && !syncing_) control->look.text = WindowText(edit);
        if (HIWORD(wparam) == EN_SETFOCUS) window_.FocusOn(FocusTarget{control, -1});
      }
      return 0;
    case WM_CTLCOLOREDIT: case WM_CTLCOLORSTATIC:
      for (const auto& [control, edit] : edits_)
        if (edit == reinterpret_cast<HWND>(lparam)) {
          const uint32_t color = control->look.textColor ? control->look.textColor : 0xFF000000u;
          SetTextColor(reinterpret_cast<HDC>(wparam), RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF));
          SetBkColor(reinterpret_cast<HDC>(wparam), RGB(255, 255, 255));
          return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        }
      break;
    case WM_CLOSE: {
      // A window that does not handle its closing is destroyed; a modal loop over it ends.
      const auto token = alive_;
      if (window_.OnClose() || !Alive(token)) return 0;
      window_.EndModal(0);
      if (hwnd_) DestroyWindow(hwnd_);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

Point Win32Window::LayoutPoint(LPARAM lparam) const {
  return scale_.ToLayout(Point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
}

// The layout's caption drags the window, except over what the user can press.
LRESULT Win32Window::HitTestFrame(LPARAM lparam) {
  POINT cursor{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  ScreenToClient(hwnd_, &cursor);
  const Point point = scale_.ToLayout(Point{cursor.x, cursor.y});
  const WindowLayout& layout = window_.layout();
  RECT client;
  GetClientRect(hwnd_, &client);
  const Rect area = scale_.ToLayout(Rect{client.left, client.top, client.right, client.bottom});
  const Rect caption{area.left + layout.caption.left, layout.caption.top, area.right - layout.caption.right,
                     layout.caption.bottom < 0 ? area.bottom : layout.caption.bottom};
  if (!caption.Contains(point)) return HTCLIENT;
  const Control* hit = HitTest(&window_.layout().root, point);
  if ((hit && Pressable(hit->kind())) || LinkAt(point)) return HTCLIENT;
  const Control* scrolling = ScrollLayoutAt(&window_.layout().root, point);
  Rect rail, thumb;
  if (scrolling && ScrollBarRects(*scrolling, layout, &rail, &thumb) && rail.Contains(point)) return HTCLIENT;
  return HTCAPTION;
}

const LinkBox* Win32Window::LinkAt(Point point) const {
  for (const LinkBox& link : links_)
    if (link.box.Contains(point)) return &link;
  return nullptr;
}

// The innermost shown scrolling layout at the point.
Control* Win32Window::ScrollLayoutAt(Control* control, Point point) const {
  if (!control->state.visible || !control->rect.Contains(point)) return nullptr;
  for (const auto& child : control->children())
    if (Control* inner = ScrollLayoutAt(child.get(), point)) return inner;
  return control->layout.vscrollbar ? control : nullptr;
}

void Win32Window::OnMouseMove(Point point) {
  if (!tracking_) {
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = hwnd_;
    tracking_ = TrackMouseEvent(&track) != FALSE;
  }
  if (drag_.layout) {
    Rect rail, thumb;
    if (!ScrollBarRects(*drag_.layout, window_.layout(), &rail, &thumb)) return;
    const int travel = std::max(rail.Height() - thumb.Height(), 1);
    window_.ScrollTo(drag_.layout, drag_.startScroll + (point.y - drag_.startY) * ScrollLimit(*drag_.layout) / travel);
    return;
  }
  Control* hit = HitTest(&window_.layout().root, point);
  const Control* hot = hit && Pressable(hit->kind()) ? hit : nullptr;
  const LinkBox* link = LinkAt(point);
  const TextHover hover = link ? TextHover{link->text, link->link} : TextHover{};
  if (hot == state_.hot && hover.text == state_.link.text && hover.link == state_.link.link) return;
  state_.hot = hot;
  state_.link = hover;
  Redraw();
}

void Win32Window::OnButtonDown(Point point) {
  dropDown_.Close();
  keyboardCues_ = false;
  if (PressScrollBar(point)) return;
  if (const LinkBox* link = LinkAt(point)) {
    pressedLink_ = TextHover{link->text, link->link};
    FocusOn(FocusTarget{link->text, link->link});
    SetCapture(hwnd_);
    return;
  }
  Control* hit = HitTest(&window_.layout().root, point);
  if (!hit) return;
  if (hit->kind() == ControlKind::kCombo) {
    FocusOn(FocusTarget{hit, -1});
    OpenDropDown(hit);
    return;
  }
  if (!Clickable(hit->kind())) return;
  FocusOn(FocusTarget{hit, -1});
  state_.pushed = hit;
  SetCapture(hwnd_);
  Redraw();
}

// A click counts when the button comes up over the control it went down on.
void Win32Window::OnButtonUp(Point point) {
  const TextHover link = pressedLink_;
  Control* pushed = const_cast<Control*>(state_.pushed);
  pressedLink_ = TextHover{};
  state_.pushed = nullptr;
  drag_ = Drag{};
  if (GetCapture() == hwnd_) ReleaseCapture();
  const LinkBox* under = LinkAt(point);
  if (link.text && under && under->text == link.text && under->link == link.link) {
    window_.FollowLink(const_cast<Control*>(link.text), link.link);
    return;
  }
  if (!pushed) return;
  const auto token = alive_;
  if (HitTest(&window_.layout().root, point) == pushed) window_.ClickAt(point);
  if (Alive(token)) Redraw();
}

bool Win32Window::PressScrollBar(Point point) {
  Control* layout = ScrollLayoutAt(&window_.layout().root, point);
  Rect rail, thumb;
  if (!layout || !ScrollBarRects(*layout, window_.layout(), &rail, &thumb) || !rail.Contains(point)) return false;
  if (thumb.Contains(point)) {
    drag_ = Drag{layout, point.y, layout->state.scrollY};
    SetCapture(hwnd_);
    return true;
  }
  const int page = rail.Height();  // a click on the rail pages towards it
  window_.ScrollTo(layout, layout->state.scrollY + (point.y < thumb.top ? -page : page));
  return true;
}

void Win32Window::OnWheel(int delta, Point point) {
  Control* layout = ScrollLayoutAt(&window_.layout().root, point);
  if (layout) window_.ScrollTo(layout, layout->state.scrollY - delta * kWheelStep / WHEEL_DELTA);
}

// The drop-down list takes its keys first; a focused combo opens its list on
// F4, Alt+Up or Alt+Down, and on Enter or Space, which the model leaves to
// it. Every other key goes to the model; Alt's keys (but those of the
// combo) go on to the system, which turns Alt+F4 into SC_CLOSE.
bool Win32Window::OnKey(WPARAM key, bool system) {
  keyboardCues_ = true;
  if (dropDown_.HandleKey(key)) return true;
  const FocusTarget focus = window_.Focus();
  const bool opens = key == VK_F4 ? !system : system && (key == VK_DOWN || key == VK_UP);
  if (IsCombo(focus) && opens) return OpenDropDown(focus.control);
  KeyPress press;
  if (system || !ToKeyPress(key, &press)) return false;
  const auto token = alive_;
  const bool acted = window_.PressKey(press);
  if (!Alive(token)) return true;
  if (!acted && IsCombo(focus) && (key == VK_RETURN || key == VK_SPACE)) OpenDropDown(focus.control);
  Redraw();
  return true;
}

bool Win32Window::HandleDialogKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || (message.wParam != VK_TAB && message.wParam != VK_RETURN &&
                                        message.wParam != VK_ESCAPE))
    return false;
  for (const auto& [control, edit] : edits_)
    if (edit == message.hwnd) return OnKey(message.wParam, false);
  return false;
}

void Win32Window::FocusOn(const FocusTarget& target) {
  window_.FocusOn(target);
  SyncKeyboardFocus();
  Redraw();
}

bool Win32Window::OpenDropDown(Control* combo) {
  const bool opened = dropDown_.Open(hwnd_, combo, NameOf(combo));
  Redraw();
  return opened;
}

// Also when nothing has it in the active window (a hidden edit had it).
bool Win32Window::HasKeyboard() const {
  const HWND focused = GetFocus();
  if (focused == hwnd_ || (!focused && GetActiveWindow() == hwnd_)) return true;
  return std::any_of(edits_.begin(), edits_.end(), [focused](const auto& entry) { return entry.second == focused; });
}

void Win32Window::SyncKeyboardFocus() {
  if (!hwnd_ || !HasKeyboard()) return;
  const FocusTarget focus = window_.Focus();
  const auto edit = focus.link < 0 ? edits_.find(focus.control) : edits_.end();
  const HWND wanted = edit != edits_.end() ? edit->second : hwnd_;
  if (GetFocus() != wanted) SetFocus(wanted);
}

void Win32Window::Redraw() {
  if (!hwnd_) return;
  SyncEdits();
  SyncKeyboardFocus();
  if (layered_) UpdateLayered();
  else InvalidateRect(hwnd_, nullptr, FALSE);
  SyncAccessibility();
}

void Win32Window::Render(int width, int height) {
  if (width != bufferWidth_ || height != bufferHeight_ || !bufferDc_) {
    if (bufferDc_) {
      SelectObject(bufferDc_, oldBuffer_);
      DeleteObject(buffer_);
    } else {
      bufferDc_ = CreateCompatibleDC(nullptr);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as GDI+ lays out rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    buffer_ = CreateDIBSection(bufferDc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    oldBuffer_ = SelectObject(bufferDc_, buffer_);
    bufferWidth_ = width;
    bufferHeight_ = height;
  }
  if (!bits_) return;
  Gdiplus::Bitmap canvas(width, height, width * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(bits_));
  Gdiplus::Graphics graphics(&canvas);
  PrepareGraphics(graphics, scale_.factor());
  graphics.Clear(layered_ ? Gdiplus::Color(0, 0, 0, 0) : Gdiplus::Color(255, 255, 255, 255));
  links_.clear();
  PaintState state = state_;
  if (keyboardCues_) {
    const FocusTarget focus = window_.Focus();
    state.focus = focus.control;
    state.focusLink = focus.link;
  }
  painter_.Paint(graphics, window_.layout(), state, &links_);
}

// Drawn whole into the back buffer, then copied in one go: no flicker.
void Win32Window::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd_, &paint);
  RECT client;
  GetClientRect(hwnd_, &client);
  if (client.right > 0 && client.bottom > 0) {
    Render(client.right, client.bottom);
    BitBlt(dc, 0, 0, client.right, client.bottom, bufferDc_, 0, 0, SRCCOPY);
  }
  EndPaint(hwnd_, &paint);
  report_.Update(window_, hwnd_, scale_, links_);
}

// A layered window shows the premultiplied buffer with its alpha.
void Win32Window::UpdateLayered() {
  RECT frame;
  GetWindowRect(hwnd_, &frame);
  SIZE size{frame.right - frame.left, frame.bottom - frame.top};
  if (size.cx <= 0 || size.cy <= 0) return;
  Render(size.cx, size.cy);
  POINT origin{frame.left, frame.top}, source{0, 0};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  HDC screen = GetDC(nullptr);
  UpdateLayeredWindow(hwnd_, screen, &origin, &size, bufferDc_, &source, 0, &blend, ULW_ALPHA);
  ReleaseDC(nullptr, screen);
  report_.Update(window_, hwnd_, scale_, links_);
}

void Win32Window::ApplyRegion() {
  const Size corner = window_.layout().roundCorner;
  if (layered_ || corner.width <= 0 || corner.height <= 0) return;
  RECT frame;
  GetWindowRect(hwnd_, &frame);
  HRGN region = CreateRoundRectRgn(0, 0, frame.right - frame.left + 1, frame.bottom - frame.top + 1,
                                   scale_.ToScreen(corner.width), scale_.ToScreen(corner.height));
  if (region && !SetWindowRgn(hwnd_, region, TRUE)) DeleteObject(region);  // the system owns it once set
}

void Win32Window::SyncEdits() {
  std::vector<Control*> edits;
  CollectEdits(&window_.layout().root, &edits);
  for (auto it = edits_.begin(); it != edits_.end();) {  // controls removed from the tree
    if (std::find(edits.begin(), edits.end(), it->first) == edits.end()) {
      DestroyWindow(it->second);
      it = edits_.erase(it);
    } else {
      ++it;
    }
  }
  for (Control* control : edits) {
    auto found = edits_.find(control);
    HWND edit = found != edits_.end() ? found->second : CreateEdit(control);
    if (edit) SyncEdit(control, edit);
  }
}

HWND Win32Window::CreateEdit(Control* control) {
  const DWORD style = WS_CHILD | ES_AUTOHSCROLL | ES_LEFT | (control->state.password ? ES_PASSWORD : 0);
  HWND edit = CreateWindowExW(0, L"EDIT", control->look.text.c_str(), style, 0, 0, 1, 1, hwnd_, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  if (!edit) return nullptr;
  SetWindowLongPtrW(edit, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  const auto system = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditProcedure)));
  if (system != &EditProcedure) g_editProcedure = system;
  const FontSpec& spec = LayoutFont(control->look.font, window_.layout());
  const std::wstring face = text_.ResolveFace(spec.face, control->look.text, window_.layout().language);
  HFONT font = CreateFontW(-scale_.ToScreen(spec.size), 0, 0, 0, spec.bold ? FW_BOLD : FW_NORMAL, spec.italic,
                           spec.underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           CLEARTYPE_QUALITY, DEFAULT_PITCH, face.c_str());
  if (font) {
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    editFonts_[edit] = font;
  }
  edits_[control] = edit;
  return edit;
}

// The edit sits in the control's text area, vertically centred, shown while
// the control can be reached; the control's text, read-only flag and limit
// win over the edit's.
void Win32Window::SyncEdit(Control* control, HWND edit) {
  const bool shown = Reachable(control) && control->rect.Width() > 0 && control->rect.Height() > 0;
  if (!shown) {
    ShowWindow(edit, SW_HIDE);
    return;
  }
  const Rect& inset = control->layout.inset;
  const Rect area{control->rect.left + inset.left, control->rect.top + inset.top, control->rect.right - inset.right,
                  control->rect.bottom - inset.bottom};
  const FontSpec& spec = LayoutFont(control->look.font, window_.layout());
  const int line = std::min(spec.size + spec.size / 2 + 2, area.Height());
  const int top = area.top + (area.Height() - line) / 2;
  const Rect screen = scale_.ToScreen(Rect{area.left, top, area.right, top + line});
  SetWindowPos(edit, nullptr, screen.left, screen.top, screen.Width(), screen.Height(),
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  syncing_ = true;
  if (WindowText(edit) != control->look.text) SetWindowTextW(edit, control->look.text.c_str());
  syncing_ = false;
  SendMessageW(edit, EM_SETREADONLY, control->state.readOnly, 0);
  SendMessageW(edit, EM_SETLIMITTEXT, control->state.maxChars, 0);
}

// A screen reader hears an edit under the label next to it; all else is the EDIT's own.
LRESULT CALLBACK Win32Window::EditProcedure(HWND edit, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(edit, GWLP_USERDATA));
  if (message == WM_GETOBJECT && self && static_cast<DWORD>(lparam) == static_cast<DWORD>(OBJID_CLIENT))
    for (const auto& [control, child] : self->edits_)
      if (child == edit)
        if (const LRESULT answer = NamedAccessible::Answer(edit, OBJID_CLIENT, wparam, self->NameOf(control)))
          return answer;
  return CallWindowProcW(g_editProcedure, edit, message, wparam, lparam);
}

// ---- screen readers ----

LRESULT Win32Window::AnswerGetObject(WPARAM wparam, LPARAM lparam) {
  const DWORD object = static_cast<DWORD>(lparam);
  if (object == static_cast<DWORD>(OBJID_CLIENT)) {
    if (!accessible_) accessible_ = new AccessibleObject(this);
    return LresultFromObject(__uuidof(IAccessible), wparam, static_cast<IAccessible*>(accessible_));
  }
  // The frame is named as the client is (a box by its question, not its title).
  if (object == static_cast<DWORD>(OBJID_WINDOW)) {
    const std::wstring name = window_.AccessibleName();
    if (name != WindowText(hwnd_)) return NamedAccessible::Answer(hwnd_, OBJID_WINDOW, wparam, name);
  }
  return 0;
}

void Win32Window::SyncAccessibility() {
  if (hwnd_) events_.Report(hwnd_, Self(), Children(), FocusedChild());
}

void Win32Window::OnShown() {
  if (window_.spec().alert) NotifyWinEvent(EVENT_SYSTEM_ALERT, hwnd_, OBJID_CLIENT, CHILDID_SELF);
  SyncAccessibility();
}

// Read out like a live region: a name that changed.
void Win32Window::Announce(const std::wstring& text) {
  announcement_ = text;
  if (!hwnd_ || !IsWindowVisible(hwnd_)) return;
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd_, OBJID_CLIENT, kAnnouncementId);
  NotifyWinEvent(kLiveRegionChanged, hwnd_, OBJID_CLIENT, kAnnouncementId);
}

long Win32Window::IdOf(const FocusTarget& target) {
  const auto key = std::make_pair(static_cast<const Control*>(target.control), target.link);
  const auto found = ids_.find(key);
  if (found != ids_.end()) return found->second;
  ids_[key] = nextId_;
  return nextId_++;
}

// A link is where it was drawn; a combo says whether its list is open.
AccessibleNode Win32Window::NodeOf(const AccessibleItem& item) {
  AccessibleNode node;
  node.id = IdOf(item.target);
  node.role = RoleOf(item.role);
  node.name = item.name;
  node.value = item.value;
  node.states = StatesOf(item.states & ~kAccFocused);
  if ((item.states & kAccFocused) && HasKeyboard()) node.states |= STATE_SYSTEM_FOCUSED;
  node.defaultAction = ActionOf(item);
  if (item.role == AccessibleRole::kComboBox) {
    const bool open = dropDown_.IsOpen() && dropDown_.Combo() == item.target.control;
    node.states |= STATE_SYSTEM_HASPOPUP | (open ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED);
    if (open) node.defaultAction = L"Close";
  }
  Rect box = item.rect;
  bool drawn = false;
  for (const LinkBox& link : links_) {
    if (item.role != AccessibleRole::kLink || link.text != item.target.control || link.link != item.target.link) continue;
    box = drawn ? Rect{std::min(box.left, link.box.left), std::min(box.top, link.box.top),
                       std::max(box.right, link.box.right), std::max(box.bottom, link.box.bottom)}
                : link.box;
    drawn = true;
  }
  node.location = ScreenRect(hwnd_, scale_, box);
  return node;
}

std::wstring Win32Window::NameOf(const Control* control) {
  for (const AccessibleItem& item : AccessibleItems(window_))
    if (item.target.control == control && item.target.link < 0) return item.name;
  return std::wstring();
}

AccessibleNode Win32Window::Self() {
  AccessibleNode self;
  self.role = window_.spec().alert ? ROLE_SYSTEM_DIALOG : ROLE_SYSTEM_CLIENT;
  self.name = window_.AccessibleName();
  self.states = STATE_SYSTEM_FOCUSABLE;
  if (hwnd_ && GetFocus() == hwnd_ && !window_.Focus().control) self.states |= STATE_SYSTEM_FOCUSED;
  if (!hwnd_ || !IsWindowVisible(hwnd_)) self.states |= STATE_SYSTEM_INVISIBLE;
  if (hwnd_ && !IsWindowEnabled(hwnd_)) self.states |= STATE_SYSTEM_UNAVAILABLE;
  RECT client{};
  if (hwnd_) GetClientRect(hwnd_, &client);
  self.location = ScreenRect(hwnd_, scale_, scale_.ToLayout(Rect{client.left, client.top, client.right, client.bottom}));
  return self;
}

std::vector<AccessibleNode> Win32Window::Children() {
  std::vector<AccessibleNode> children;
  for (const AccessibleItem& item : AccessibleItems(window_)) {
    children.push_back(NodeOf(item));
    known_[children.back().id] = children.back();
  }
  return children;
}

bool Win32Window::Child(long id, AccessibleNode* node) {
  if (id == kAnnouncementId && !announcement_.empty()) {
    node->id = id;
    node->role = ROLE_SYSTEM_STATICTEXT;
    node->name = announcement_;
    node->states = STATE_SYSTEM_READONLY;
    node->location = Self().location;
    return true;
  }
  for (const AccessibleNode& child : Children()) {
    if (child.id != id) continue;
    *node = child;
    return true;
  }
  const auto known = known_.find(id);
  if (known == known_.end()) return false;
  *node = known->second;
  node->states = (node->states & ~STATE_SYSTEM_FOCUSED) | STATE_SYSTEM_INVISIBLE;
  return true;
}

long Win32Window::FocusedChild() {
  if (!hwnd_ || !HasKeyboard()) return -1;
  const FocusTarget focus = window_.Focus();
  return focus.control ? IdOf(focus) : CHILDID_SELF;
}

void Win32Window::DoDefaultAction(long id) { PostMessageW(hwnd_, kDefaultActionMessage, static_cast<WPARAM>(id), 0); }

// The target of a child that shows now (whose control is in the tree).
bool Win32Window::ShownTarget(long id, FocusTarget* target) {
  for (const AccessibleItem& item : AccessibleItems(window_)) {
    if (IdOf(item.target) != id) continue;
    *target = item.target;
    return true;
  }
  return false;
}

// A click, or for a combo the opening of its list (closing when open).
void Win32Window::DoDefaultActionNow(long id) {
  FocusTarget target;
  if (!ShownTarget(id, &target)) return;
  if (IsCombo(target)) {
    if (dropDown_.IsOpen()) dropDown_.Close();
    else if (window_.FocusOn(target)) OpenDropDown(target.control);
    return;
  }
  const auto token = alive_;
  window_.Press(target);
  if (Alive(token)) Redraw();
}

void Win32Window::TakeFocus(long id) {
  FocusTarget target;
  if (ShownTarget(id, &target)) FocusOn(target);
}

}  // namespace toolkit
