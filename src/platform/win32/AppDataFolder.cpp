#include "platform/Platform.h"

namespace platform {

// GetEnvironmentVariableW into a buffer of MAX_PATH characters: a longer
// value does not fit and reads as missing.
std::wstring AppDataFolder() {
  std::wstring folder = System().GetEnv(L"APPDATA");
  return folder.size() < 260 ? folder : std::wstring();
}

}  // namespace platform
