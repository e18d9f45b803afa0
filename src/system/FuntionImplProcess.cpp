// FuntionImpl: finding and terminating the processes that run a given file.
#include <cctype>

#include <easylogging++.h>

#include "system/FuntionImpl.h"
#include "platform/Process.h"

namespace FuntionImpl {

namespace {

// ASCII letters only, as the runtime's tolower does in the C locale.
std::wstring LowerAscii(std::wstring text) {
  for (wchar_t& c : text)
    if (c < 128) c = static_cast<wchar_t>(std::tolower(static_cast<int>(c)));
  return text;
}

std::wstring FileNameOf(const std::wstring& path) {
  size_t sep = path.find_last_of(L"\\/");
  return sep == std::wstring::npos ? path : path.substr(sep + 1);
}

}  // namespace

int FindProcessByFullPath(std::wstring fullPath, bool kill, bool withTmp) {
  const std::wstring lowerPath = LowerAscii(fullPath);
  const std::wstring name = LowerAscii(FileNameOf(fullPath));
  const std::wstring tmpName =
      withTmp && name.size() >= 3 ? name.substr(0, name.size() - 3) + L"tmp" : std::wstring();
  std::vector<platform::ProcessEntry> processes;
  if (!platform::ListProcesses(&processes)) return -2;
  int found = -1;
  // The first entry is the system's idle process.
  for (size_t i = 1; i < processes.size(); ++i) {
    const platform::ProcessEntry& entry = processes[i];
    const std::wstring exe = LowerAscii(entry.exeName);
    if (exe != name && !(withTmp && exe == tmpName)) continue;
    LOG(INFO) << " Find proc: " << entry.pid;
    if (entry.pid == platform::CurrentProcessId()) continue;
    const std::wstring image = LowerAscii(platform::ProcessImagePath(entry.pid));
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
