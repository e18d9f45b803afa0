// TEMPORARY stand-ins until the running-product check, the install-path
// check and the product start arrive: no product counts as running, the path
// check only creates the folder and selects the running pages, and the
// product is opened through the shell.
#include "platform/Platform.h"
#include "system/FuntionImpl.h"
#include "window/InstallUIMainWnd.h"

bool InstallUIMainWnd::AppIsRunning() { return true; }

bool InstallUIMainWnd::IsCorrectInstallPath() {
  FuntionImpl::CreateDirectories(GetInstallPath());
  if (mainTab_) mainTab_->SelectIndex(1);
  if (pageLayout_) pageLayout_->SelectIndex(1);
  if (closeBtn_) closeBtn_->state.enabled = true;
  Arrange();
  return true;
}

std::wstring InstallUIMainWnd::GetInstallPath() {
  if (!installPath_.empty()) return installPath_;
  const std::wstring text = installPathEdit_ ? installPathEdit_->look.text : std::wstring();
  installPath_ = text.find(productName_) != std::wstring::npos ? text : text + platform::kPathSep + productName_;
  return installPath_;
}

int InstallUIMainWnd::StartTargetMainExe(const std::wstring& command, int) {
  const std::wstring path = command.size() >= 2 ? command.substr(1, command.size() - 2) : command;
  return platform::System().ShellOpen(path, L"", true) ? 0 : -1;
}
