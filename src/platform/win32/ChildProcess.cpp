// win32 backend: a started program that the caller waits for.
#include <vector>

#include "platform/PinnedFile.h"
#include "platform/Process.h"
#include "platform/win32/Win32Common.h"

namespace platform {

namespace {

class Win32ChildProcess : public ChildProcess {
 public:
  explicit Win32ChildProcess(const PROCESS_INFORMATION& info) : process_(info.hProcess), thread_(info.hThread) {}

  bool Wait(uint32_t ms, uint32_t* exitCode) override {
    if (WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    if (exitCode) *exitCode = code;
    return true;
  }

 private:
  win32::ScopedHandle process_, thread_;
};

}  // namespace

// The file is held with read sharing only, which CreateProcessW's own open
// (read and execute, sharing read and delete) passes: what it maps is the
// file that was checked.
std::unique_ptr<ChildProcess> StartChildProcess(const PinnedFile& program, const std::wstring& commandLine,
                                                uint32_t* lastError) {
  // CreateProcessW may write into the command line, so it gets a copy.
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  SECURITY_ATTRIBUTES inheritable = {static_cast<DWORD>(sizeof(SECURITY_ATTRIBUTES)), nullptr, TRUE};
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  const BOOL started = CreateProcessW(program.Path().c_str(), line.data(), &inheritable, &inheritable, TRUE,
                                      CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup, &info);
  if (lastError) *lastError = started ? 0 : GetLastError();
  if (!started) return nullptr;
  return std::make_unique<Win32ChildProcess>(info);
}

}  // namespace platform
