#include "window/CAlientWnd.h"

#include <easylogging++.h>

#include <cstdio>
#include <utility>

#include "window/Language.h"
#include "window/MessageBoxWnd.h"

namespace {

// The ring's frame goes on from splash to splash, as one animation would.
int g_frame = 0;

}  // namespace

CAlientWnd::CAlientWnd(toolkit::MessageLoop& loop, int adminFlag, std::wstring productName, std::wstring command,
                       int frameDuration, EnumLanguage language, FuntionImpl::EventReport report,
                       const toolkit::ResourceArchive& archive)
    : SkinWindow(loop),
      adminFlag_(adminFlag),
      productName_(std::move(productName)),
      command_(std::move(command)),
      frameDuration_(frameDuration),
      language_(language),
      report_(std::move(report)),
      archive_(archive) {
  notify().On("", "windowinit", [this](const toolkit::Notification&) { InitWindow(); });
  notify().On("", "timer", [this](const toolkit::Notification& n) { OnTimer(static_cast<unsigned>(n.index)); });
}

bool CAlientWnd::DoModal() {
  toolkit::WindowSpec spec;
  spec.className = L"CALIENTWND_UI_Frame";
  spec.classStyle = 0x080B;  // CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS
  spec.style = 0x96C80000;   // WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU
  spec.title = productName_;
  spec.layered = true;
  if (!Create(archive_, L"", L"transWnd.xml", spec)) return false;
  Center();
  ShowModal();
  return true;
}

bool CAlientWnd::OnClose() {
  KillTimer(kFrameTimer);
  EndModal(0);
  return true;
}

// The start runs beside the splash, which turns meanwhile.
void CAlientWnd::InitWindow() {
  foreImage_ = Find("foreImage");
  version_ = Find("version");
  if (version_ && !productName_.empty()) version_->look.text = productName_;
  SetWindowLanguage(&layout(), language_);
  Arrange();
  SetTimer(kFrameTimer, kFrameMs);
  starter_.Start([this] { Post(kStartedMessage, FuntionImpl::StartTargetMainExe(command_, adminFlag_, report_)); });
}

void CAlientWnd::OnMessage(unsigned message, intptr_t wparam, intptr_t) {
  if (message == kStartedMessage) OnProductStarted(static_cast<int>(wparam));
}

// A failed start leaves the user a way: the product's shortcut.
void CAlientWnd::OnProductStarted(int result) {
  if (result != -1) {
    SetTimer(kStayTimer, static_cast<uint64_t>(frameDuration_ > 0 ? frameDuration_ : 0) * 1000);
    return;
  }
  report_("Other", "FlowError", "DL019");
  MessageBoxWnd box(loop(), kMsgClickShortcut, language_, L"", archive_);
  box.DoModal(0);
  Close();
}

void CAlientWnd::OnTimer(unsigned id) {
  if (id == kStayTimer) {
    KillTimer(id);
    Close();
    return;
  }
  if (id != kFrameTimer || !foreImage_) return;
  char name[32];
  std::snprintf(name, sizeof name, "skin/gif/bg%.2d.png", g_frame % kFrameCount);
  g_frame = (g_frame + 1) % kFrameCount;
  foreImage_->look.bkImage = toolkit::Picture();
  foreImage_->look.bkImage.file = name;
}
