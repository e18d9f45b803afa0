#include "window/InstallUIMainWnd.h"

#include <easylogging++.h>

#include "platform/Platform.h"
#include "config/CEmbeddedConfigReader.h"
#include "window/Language.h"
#include "window/MessageBoxWnd.h"
#include "install/InstallMessages.h"

namespace {

// The one window that the download progress callback reaches. Every call
// through it holds the lock, so the window cannot go while one runs.
std::mutex g_windowLock;
InstallUIMainWnd* g_window = nullptr;

}  // namespace

InstallUIMainWnd::InstallUIMainWnd(toolkit::MessageLoop& loop, Context context)
    : SkinWindow(loop),
      context_(std::move(context)),
      archive_(*context_.archive),
      analytics_(*context_.analytics),
      clock_(context_.clock ? context_.clock : &steadyClock_),
      uiThread_(std::this_thread::get_id()) {
  notify().On("", "windowinit", [this](const toolkit::Notification&) { InitWindow(); });
  notify().On("", "click", [this](const toolkit::Notification& n) { OnClick(n); });
  notify().On("", "itemselect", [this](const toolkit::Notification& n) { OnItemSelect(n); });
  notify().On("", "link", [this](const toolkit::Notification& n) { OnLink(n); });
  notify().On("", "selectchanged", [this](const toolkit::Notification& n) { OnSelectChanged(n); });
  notify().On("", "timer", [this](const toolkit::Notification& n) { OnTimer(static_cast<unsigned>(n.index)); });
}

// The pointer goes first, so that no worker reaches the window from here on;
// the worker threads are joined by their members, which go before the rest.
InstallUIMainWnd::~InstallUIMainWnd() {
  {
    std::lock_guard<std::mutex> guard(g_windowLock);
    if (g_window == this) g_window = nullptr;
  }
  analytics_.SetFunnelSource(nullptr);
}

// The title names the product of the embedded configuration: the taskbar,
// Alt+Tab and screen readers show it.
bool InstallUIMainWnd::CreateMainWindow() {
  toolkit::WindowSpec spec;
  spec.className = WindowClassName();
  spec.style = 0x800A0000;  // WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX
  spec.title = CEmbeddedConfigReader(archive_).ReadEntry(L"Software_name");
  return Create(archive_, L"", L"InstallMainWnd.xml", spec);
}

void InstallUIMainWnd::PublishProcessWindow() {
  std::lock_guard<std::mutex> guard(g_windowLock);
  g_window = this;
}

int InstallUIMainWnd::DownloadProgressCallback(int64_t downloaded, int64_t total) {
  std::lock_guard<std::mutex> guard(g_windowLock);
  return g_window ? g_window->OnDownloadProgress(downloaded, total) : 0;
}

std::wstring InstallUIMainWnd::WindowClassName() const {
  return context_.className.empty() ? L"OV_UI_Frame" : context_.className;
}

void InstallUIMainWnd::SetPackageUrl(const std::wstring& url) {
  std::lock_guard<std::mutex> guard(stateLock_);
  packageUrl_ = url;
}

std::wstring InstallUIMainWnd::GetPackageUrl() const {
  std::lock_guard<std::mutex> guard(stateLock_);
  return packageUrl_;
}

void InstallUIMainWnd::RunOnUiThread(std::function<void()> task) {
  if (std::this_thread::get_id() == uiThread_) return task();
  {
    std::lock_guard<std::mutex> guard(tasksLock_);
    tasks_.push_back(std::move(task));
  }
  SkinWindow::Post(kRunTasksMessage);
}

void InstallUIMainWnd::RunPostedTasks() {
  std::deque<std::function<void()>> tasks;
  {
    std::lock_guard<std::mutex> guard(tasksLock_);
    tasks.swap(tasks_);
  }
  for (auto& task : tasks) task();
}

int InstallUIMainWnd::ShowMessageBox(EnumMsgType kind, const std::wstring& text) {
  LOG(INFO) << " ShowMsgBox: " << kind;
  if (analytics_.State().IsBackgroundMode()) {
    autoAnsweredKind_ = kind;
    return kMsgResultYes;
  }
  // Closed for good (the loop is ending): a box now would hold the process.
  if (state_.closing) return kMsgResultNo;
  MessageBoxWnd box(loop(), kind, currentLanguage_, text, archive_);
  return box.DoModal(handle());
}

void InstallUIMainWnd::OnMessage(unsigned message, intptr_t wparam, intptr_t lparam) {
  if (message == kRunTasksMessage) RunPostedTasks();
  else if (message == kShowProgressMessage) ShowPendingProgress();
  else if (message >= kFirstCustomMessage && message <= kLastCustomMessage)
    HandleCustomMessage(message, wparam, lparam);
}

void InstallUIMainWnd::AsyncGetCbsInfoThreadFunc() {
  configure_->fetchAsync([this] { HandOverToAnalytics(configure_->productVersion); });
}

std::wstring InstallUIMainWnd::ReadEntry(const std::wstring& name) {
  const auto entry = entries_.find(name);
  return entry != entries_.end() ? entry->second : std::wstring();
}

const char* InstallUIMainWnd::AttemptLabel() const { return state_.retry ? "Retry" : "First"; }

std::wstring InstallUIMainWnd::ProductVersion() const {
  std::lock_guard<std::mutex> guard(stateLock_);
  return productVersion_;
}

std::string InstallUIMainWnd::FunnelProductVersion() { return platform::WideToAnsi(ProductVersion()); }

std::string InstallUIMainWnd::FunnelToolsLang() { return GetLanguageCode(currentLanguage_); }
