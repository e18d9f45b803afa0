// The shell's folder dialog of the win32 backend.
#include "platform/Platform.h"
#include "platform/win32/Win32Common.h"

#include <shlobj.h>

namespace platform {

// BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE; no root, no title.
bool BrowseForFolder(std::wstring* folder) {
  BROWSEINFOW info = {};
  info.hwndOwner = GetForegroundWindow();
  info.ulFlags = 0x51;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (!chosen) return false;
  wchar_t path[MAX_PATH] = L"";
  const bool converted = SHGetPathFromIDListW(chosen, path) != FALSE;
  CoTaskMemFree(chosen);
  if (converted) *folder = path;
  return converted;
}

}  // namespace platform
