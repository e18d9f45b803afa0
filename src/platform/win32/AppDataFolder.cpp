#include "platform/Platform.h"
#include "platform/win32/Win32Common.h"

#include <shlobj.h>

namespace platform {

// GetEnvironmentVariableW into a buffer of MAX_PATH characters: a longer
// value does not fit and reads as missing.
std::wstring AppDataFolder() {
  std::wstring folder = System().GetEnv(L"APPDATA");
  return folder.size() < 260 ? folder : std::wstring();
}

std::wstring ProgramFilesFolder() {
  wchar_t folder[MAX_PATH] = {};
  return SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAM_FILES, FALSE) ? folder : L"";
}

}  // namespace platform
