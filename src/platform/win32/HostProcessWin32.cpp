// win32 backend of the host-process services.
#include "platform/HostProcess.h"

#include <windows.h>

#include "platform/Platform.h"

namespace platform {
namespace host {

std::wstring CommandLine() {
  const wchar_t* line = GetCommandLineW();
  return line ? line : L"";
}

void EndProcess(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }

bool StartHidden(const std::wstring& program, const std::wstring& arguments) {
  return RealSystem().ShellOpen(program, arguments, false);
}

}  // namespace host
}  // namespace platform
