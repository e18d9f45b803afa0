// The main window's install path: the browse action, the space labels, the
// SSD suggestion and the free-space check before the install, and the check
// that the product is not running.
//
// The path is read from the edit box until a check passes: a check that
// failed (or moved the path to a roomier drive) leaves the box to decide
// the next one, and the check of a retry resolves it afresh from the box,
// where its own SSD suggestion or move lands. Drives are compared by their
// roots (FuntionImpl::DriveRootOf).
#include <easylogging++.h>

#include <limits>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "system/FuntionImpl.h"
#include "window/InstallUIMainWnd.h"
#include "window/LanguageTemplate.h"

namespace {

// The folder the product's installer makes inside the chosen one.
const wchar_t kMakerFolder[] = L"Vantrel";

// factor x size in bytes, at most the largest count (so it never wraps);
// 0 for an unknown size.
uint64_t NeedBytes(int64_t size, int factor) {
  if (size <= 0) return 0;
  const uint64_t bytes = static_cast<uint64_t>(size);
  const uint64_t most = std::numeric_limits<uint64_t>::max();
  return bytes > most / factor ? most : bytes * factor;
}

// What a person calls the drive: its letter, or the mount point.
std::wstring DriveName(const std::wstring& root) {
  return root.size() == 3 && root[1] == L':' ? root.substr(0, 1) : root;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

std::wstring InstallUIMainWnd::BrowsedInstallFolder(const std::wstring& folder) {
  if (folder.find(kMakerFolder) != std::wstring::npos) return folder;
  const bool endsInSeparator = !folder.empty() && IsSeparator(folder.back());
  return folder + (endsInSeparator ? L"" : std::wstring(1, platform::kPathSep)) + kMakerFolder;
}

// A folder whose drive cannot be judged (a network folder) is refused with
// the path box, as at Install.
int InstallUIMainWnd::OnBrowseFolder() {
  std::wstring folder;
  if (!BrowseForFolder(&folder)) return -1;
  LOG(INFO) << " Browsed folder: " << platform::WideToUtf8(folder);
  if (!IsJudgeablePath(folder)) return -1;
  ShowSpaceInfo(folder);
  SetInstallPathText(BrowsedInstallFolder(folder));
  return 0;
}

bool InstallUIMainWnd::ShowSpaceInfo(const std::wstring& folder) {
  uint64_t free = 0;
  const bool read = platform::System().FreeBytesAvailable(folder, &free);
  if (read) freeSpaceGb_ = static_cast<float>(static_cast<double>(free) / (1ull << 30));
  ShowSpaceLabels();
  return read;
}

void InstallUIMainWnd::ShowSpaceLabels() {
  if (spaceFree_) spaceFree_->look.text = FillTemplate(spaceFreeFormat_, static_cast<double>(freeSpaceGb_));
  if (spaceNeed_) spaceNeed_->look.text = FillTemplate(spaceNeedFormat_, ReadEntry(L"ProductSize"));
}

std::wstring InstallUIMainWnd::InstallPathText() const {
  return installPathEdit_ ? installPathEdit_->look.text : std::wstring();
}

void InstallUIMainWnd::SetInstallPathText(const std::wstring& text) {
  if (installPathEdit_) installPathEdit_->look.text = text;
}

std::wstring InstallUIMainWnd::GetInstallPath() const {
  if (!installPath_.empty()) return installPath_;
  const std::wstring text = InstallPathText();
  if (text.find(productName_) != std::wstring::npos) return text;
  return text + platform::kPathSep + productName_;
}

// The download drive needs the package once; the install drive needs room
// for the installer's work too: three times the package when the download
// shares it, else twice. A drive whose free space cannot be read has room.
int InstallUIMainWnd::EnoughFreeSpace(int64_t size, uint64_t* free) {
  if (size <= 0) return 1;
  platform::ISystem& system = platform::System();
  const std::wstring downloadDrive = FuntionImpl::DriveRootOf(downloadFolder_);
  uint64_t available = 0;
  if (system.FreeBytesAvailable(downloadDrive, &available) && NeedBytes(size, 1) >= available) {
    *free = available;
    LOG(INFO) << " PC space not enough1: " << available << "<=" << size;
    analytics_.AddUserLogEvent("Other", "FlowError", "DL008");
    analytics_.AddUserLogEvent("Other", "NoEnoughSpace", "download_" + std::to_string(available));
    return -1;
  }
  const std::wstring installDrive = FuntionImpl::DriveRootOf(GetInstallPath());
  const uint64_t need = NeedBytes(size, installDrive == downloadDrive ? 3 : 2);
  if (system.FreeBytesAvailable(installDrive, &available) && need >= available) {
    *free = available;
    LOG(INFO) << " PC space not enough2: " << available << "<=" << need;
    return -2;
  }
  return 1;
}

bool InstallUIMainWnd::NeedSuggestSSD(int64_t size, std::wstring* ssd) {
  LOG(INFO) << " custom suggest ssd: " << suggestSsd_;
  if (suggestSsd_ == 0) return false;
  const std::wstring text = InstallPathText();
  if (text.empty()) return false;
  if (FuntionImpl::IsSsdRoot(FuntionImpl::DriveRootOf(text))) {
    LOG(INFO) << " CurInstallPath is ssd";
    return false;
  }
  const std::vector<std::wstring> roots = FuntionImpl::ListSsdRoots();
  std::wstring names;
  for (const std::wstring& root : roots) names += DriveName(root);
  LOG(INFO) << " CurInstallPath is not ssd, get ssd: " << platform::WideToUtf8(names);
  const std::wstring downloadDrive = FuntionImpl::DriveRootOf(downloadFolder_);
  for (const std::wstring& root : roots) {
    const int factor = root == downloadDrive ? 3 : 2;
    uint64_t free = 0;
    const bool read = platform::System().FreeBytesAvailable(root, &free);
    LOG(INFO) << " Judge space: " << free << ", " << size << "*" << factor;
    if (read && NeedBytes(size, factor) < free) {
      LOG(INFO) << " Judge space ok, can use ssd: " << platform::WideToUtf8(DriveName(root));
      *ssd = root;
      return true;
    }
  }
  return false;
}

// A too-full install drive gives way to the roomiest one, whose room is
// then checked again; without any candidate drive the box stays as it is.
bool InstallUIMainWnd::HasRoomForPackage(int64_t size) {
  std::wstring ssd;
  if (NeedSuggestSSD(size, &ssd) && ShowMessageBox(kMsgSuggestSsd, DriveName(ssd)) == kMsgResultYes) {
    LOG(INFO) << " user choose ok to switch ssd: " << platform::WideToUtf8(DriveName(ssd));
    SetInstallPathText(FuntionImpl::MoveToDrive(InstallPathText(), ssd));
  }
  uint64_t free = 0;
  int room = EnoughFreeSpace(size, &free);
  if (room == -2) {
    SetInstallPathText(FuntionImpl::MoveToRoomiestDrive(InstallPathText()));
    room = EnoughFreeSpace(size, &free);
    if (room == -2) {
      analytics_.AddUserLogEvent("Other", "FlowError", "DL008");
      analytics_.AddUserLogEvent("Other", "NoEnoughSpace", "install_" + std::to_string(free));
    }
  }
  if (room == 1) return true;
  ShowMessageBox(kMsgNoEnoughSpace, L"");
  return false;
}

// A relative or network path has no free space to read: it would pass the
// space check unjudged.
bool InstallUIMainWnd::IsJudgeablePath(const std::wstring& path) {
  if (FuntionImpl::IsFullLocalPath(path)) return true;
  LOG(INFO) << " [Error]: not a full local path: " << platform::WideToUtf8(path);
  analytics_.AddUserLogEvent("Other", "FlowError", "DL009");
  ShowMessageBox(kMsgPathError, L"");
  return false;
}

bool InstallUIMainWnd::IsCorrectInstallPath() {
  installPath_.clear();
  if (!IsJudgeablePath(InstallPathText())) return false;
  int64_t size = 0;
  if (configure_->getServerFileSize(&size) && !HasRoomForPackage(size)) return false;
  const std::wstring path = GetInstallPath();
  FuntionImpl::CreateDirectories(path);
  if (!platform::IsDirectory(path)) {
    analytics_.AddUserLogEvent("Other", "FlowError", "DL009");
    ShowMessageBox(kMsgPathError, L"");
    return false;
  }
  installPath_ = path;
  analytics_.AddUserLog_funnelPair("Download", "DownloadEnvReady", "", "");
  if (FuntionImpl::IsPendingRename(path)) analytics_.AddUserLogEvent("Other", "ProcessNeedRestartSign", "");
  if (mainTab_) mainTab_->SelectIndex(1);
  if (pageLayout_) pageLayout_->SelectIndex(1);
  if (closeBtn_) closeBtn_->state.enabled = true;
  Arrange();
  return true;
}

// The first entry is the system's idle process. A list that cannot be read
// does not stop the install: the product's installer deals with a running copy.
bool InstallUIMainWnd::AppIsRunning() {
  std::vector<platform::ProcessEntry> processes;
  const bool listed =
      context_.listProcesses ? context_.listProcesses(&processes) : platform::ListProcesses(&processes);
  if (!listed) {
    LOG(INFO) << " [Error]: the process list cannot be read; the install goes on";
    return true;
  }
  const std::wstring processName = configure_->getProcessName();
  for (size_t i = 1; i < processes.size(); ++i) {
    if (processes[i].exeName != processName) continue;
    LOG(INFO) << " " << platform::WideToUtf8(processes[i].exeName) << "," << platform::WideToUtf8(processName)
              << "ID:" << processes[i].pid;
    ShowMessageBox(kMsgAppExist, L"");
    return false;
  }
  return true;
}
