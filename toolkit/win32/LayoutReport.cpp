#include "toolkit/win32/LayoutReport.h"

#ifdef SETUP_LAYOUT_REPORT
#include "platform/Platform.h"
#include "platform/SharedFile.h"
#include "toolkit/AccessibleItems.h"
#include "toolkit/Control.h"
#include "toolkit/SkinWindow.h"
#endif

namespace toolkit {

#ifdef SETUP_LAYOUT_REPORT

namespace {

// Where a click reaches the item: a link's first box, else the item's rectangle.
Rect ClickBox(const AccessibleItem& item, const std::vector<LinkBox>& links) {
  for (const LinkBox& link : links)
    if (item.target.link >= 0 && link.text == item.target.control && link.link == item.target.link) return link.box;
  return item.rect;
}

}  // namespace

void LayoutReport::Update(SkinWindow& window, HWND hwnd, const DpiScale& scale, const std::vector<LinkBox>& links) {
  if (!IsWindowVisible(hwnd)) return Forget(window.handle());
  std::string lines;
  for (const AccessibleItem& item : AccessibleItems(window)) {
    const Control* control = item.target.control;
    if (!control || control->name().empty()) continue;
    const RECT screen = ScreenRect(hwnd, scale, ClickBox(item, links));
    lines += std::to_string(window.handle()) + ' ' + control->name();
    if (item.target.link >= 0) lines += '#' + std::to_string(item.target.link);
    for (const LONG value : {screen.left, screen.top, screen.right - screen.left, screen.bottom - screen.top})
      lines += ' ' + std::to_string(value);
    if (item.states & kAccFocused) lines += " focused";
    if (item.role == AccessibleRole::kProgressBar) lines += ' ' + platform::WideToUtf8(item.value);
    lines += '\n';
  }
  std::string& known = windows_[window.handle()];
  if (known == lines) return;
  known = lines;
  Write();
}

void LayoutReport::Moved(SkinWindow& window, HWND hwnd, const DpiScale& scale, const std::vector<LinkBox>& links) {
  if (windows_.count(window.handle()) || !IsWindowVisible(hwnd)) Update(window, hwnd, scale, links);
}

void LayoutReport::Forget(int window) {
  if (windows_.erase(window)) Write();
}

void LayoutReport::Write() {
  std::string text;
  for (const auto& [window, lines] : windows_) text += lines;
  platform::ReplaceFileContent(L"setup-layout.txt", text);
}

#else

void LayoutReport::Update(SkinWindow&, HWND, const DpiScale&, const std::vector<LinkBox>&) {}
void LayoutReport::Moved(SkinWindow&, HWND, const DpiScale&, const std::vector<LinkBox>&) {}

#endif

}  // namespace toolkit
