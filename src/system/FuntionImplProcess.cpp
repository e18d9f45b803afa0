// FuntionImpl: finding and terminating the processes that run a given file,
// starting the installed product and opening links.
#include <cctype>
#include <cstdint>
#include <string>

// libcurl's winsock2.h must come before easylogging++'s windows.h.
#include "net/WebUrl.h"
#include "base/AsciiText.h"

#include <easylogging++.h>

#include "system/FuntionImpl.h"
#include "platform/Platform.h"
#include "platform/Process.h"

namespace FuntionImpl {

namespace {

// ASCII letters only, as the runtime's tolower does in the C locale.
std::wstring FileNameOf(const std::wstring& path) {
  size_t sep = path.find_last_of(L"\\/");
  return sep == std::wstring::npos ? path : path.substr(sep + 1);
}

// The product's folder: the command line from after its opening quotation
// mark up to its last separator.
std::wstring WorkingFolderOf(const std::wstring& commandLine) {
  const size_t sep = commandLine.find_last_of(L"\\/");
  return sep == std::wstring::npos || sep == 0 ? std::wstring() : commandLine.substr(1, sep);
}

// Explorer's refusal has no error number of its own.
constexpr int64_t kShellRefused = -1;

int StartFailed(const EventReport& report, const char* step, int64_t error) {
  LOG(INFO) << " CreateProcess failed" << step << " (" << error << ")";
  report("Other", "StartWindowError", std::to_string(error));
  return -1;
}

}  // namespace

int StartTargetMainExe(std::wstring commandLine, int asAdmin, const EventReport& report) {
  if (asAdmin) {
    const uint32_t error = platform::StartProgram(commandLine, WorkingFolderOf(commandLine));
    if (error) return StartFailed(report, "3", error);
    LOG(INFO) << " Product started";
    return 0;
  }
  const std::wstring path = commandLine.size() >= 2 ? commandLine.substr(1, commandLine.size() - 2) : std::wstring();
  if (!platform::FileExists(path)) return StartFailed(report, "1", platform::kErrorFileNotFound);
  // The shell says only whether Explorer took the request, not why not.
  if (!platform::System().ShellOpen(L"explorer.exe", L"/e, " + commandLine, true))
    return StartFailed(report, "2", kShellRefused);
  LOG(INFO) << " Product started";
  return 0;
}

bool OpenWebLink(const std::wstring& url) {
  const std::string link = WebUrl::ForShell(platform::WideToUtf8(url));
  if (link.empty()) {
    LOG(INFO) << " [Error]: not a web address, not opened: " << platform::WideToUtf8(url);
    return false;
  }
  switch (platform::System().OpenWebPage(platform::Utf8ToWide(link))) {
    case platform::WebPageOpened::kAsUser:
      return true;
    case platform::WebPageOpened::kWithOwnRights:
      LOG(INFO) << " [Warning]: no desktop shell to hand the page to, opened from Setup itself: " << link;
      return true;
    default:
      LOG(INFO) << " [Error]: the page did not open: " << link;
      return false;
  }
}

int FindProcessByFullPath(std::wstring fullPath, bool kill, bool withTmp) {
  const std::wstring lowerPath = AsciiLower(fullPath);
  const std::wstring name = AsciiLower(FileNameOf(fullPath));
  const std::wstring tmpName =
      withTmp && name.size() >= 3 ? name.substr(0, name.size() - 3) + L"tmp" : std::wstring();
  std::vector<platform::ProcessEntry> processes;
  if (!platform::ListProcesses(&processes)) return -2;
  int found = -1;
  // The first entry is the system's idle process.
  for (size_t i = 1; i < processes.size(); ++i) {
    const platform::ProcessEntry& entry = processes[i];
    const std::wstring exe = AsciiLower(entry.exeName);
    if (exe != name && !(withTmp && exe == tmpName)) continue;
    LOG(INFO) << " Find proc: " << entry.pid;
    if (entry.pid == platform::CurrentProcessId()) continue;
    const std::wstring image = AsciiLower(platform::ProcessImagePath(entry.pid));
    LOG(INFO) << " Get proc info: " << image.size() << ", " << image.size();
    if (image.empty()) continue;
    if (image != lowerPath && !(withTmp && image.find(L".tmp") != std::wstring::npos)) continue;
    found = static_cast<int>(entry.pid);
    if (kill) {
      uint32_t error = 0;
      bool killed = platform::KillProcess(entry.pid, &error);
      LOG(INFO) << " Kill proc: " << killed << ", " << error;
    }
    if (!withTmp) break;
  }
  return found;
}

}  // namespace FuntionImpl
