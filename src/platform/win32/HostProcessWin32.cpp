// win32 backend of the host-process services.
#include "platform/HostProcess.h"

#include <windows.h>
#include <shellapi.h>

namespace platform {
namespace host {

std::wstring CommandLine() {
  const wchar_t* line = GetCommandLineW();
  return line ? line : L"";
}

void EndProcess(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }

bool StartHidden(const std::wstring& program, const std::wstring& arguments) {
  HINSTANCE result = ShellExecuteW(nullptr, L"open", program.c_str(), arguments.c_str(), nullptr, SW_HIDE);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace host
}  // namespace platform
