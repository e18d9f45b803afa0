// The posix stand-in for %APPDATA%: tests and the demo point APPDATA at a
// throwaway folder; a user's machine falls back to the XDG data folder.
#include "platform/Platform.h"

namespace platform {

std::wstring AppDataFolder() {
  ISystem& system = System();
  bool found = false;
  std::wstring folder = system.GetEnv(L"APPDATA", &found);
  if (found) return folder;
  folder = system.GetEnv(L"XDG_DATA_HOME", &found);
  if (found && !folder.empty()) return folder;
  const std::wstring home = system.GetEnv(L"HOME", &found);
  return found && !home.empty() ? home + L"/.local/share" : std::wstring();
}

// Software that is not part of the distribution goes to /opt.
std::wstring ProgramFilesFolder() { return L"/opt"; }

}  // namespace platform
