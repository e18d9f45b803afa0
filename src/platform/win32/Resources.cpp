// Resources of the program and version resources of files (win32 backend).
#include "platform/Platform.h"
#include "platform/win32/Win32Common.h"

#include <cwchar>
#include <vector>

namespace platform {

// FindResourceW / LoadResource / SizeofResource / LockResource in the
// program's own module.
bool LoadModuleResource(const wchar_t* type, int id, const void** data, size_t* size) {
  HRSRC info = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
  if (!info) return false;
  HGLOBAL loaded = LoadResource(nullptr, info);
  if (!loaded) return false;
  const DWORD bytes = SizeofResource(nullptr, info);
  const void* locked = LockResource(loaded);
  if (!locked || bytes == 0) return false;
  // The bytes belong to the mapped image: valid for the life of the process.
  if (data) *data = locked;
  if (size) *size = bytes;
  return true;
}

namespace {

// GetFileVersionInfoSizeW + GetFileVersionInfoW into a block of at least
// 16384 bytes.
bool LoadVersionBlock(const std::wstring& path, std::vector<unsigned char>* block) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return false;
  block->assign(size > 16384 ? size : 16384, 0);
  return GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block->size()), block->data()) != FALSE;
}

}  // namespace

bool ReadFileVersion(const std::wstring& path, FileVersion* version) {
  if (!version) return false;
  std::vector<unsigned char> block;
  if (!LoadVersionBlock(path, &block)) return false;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
      length < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != 0xFEEF04BD)
    return false;
  version->major = HIWORD(fixed->dwFileVersionMS);
  version->minor = LOWORD(fixed->dwFileVersionMS);
  version->build = HIWORD(fixed->dwFileVersionLS);
  version->revision = LOWORD(fixed->dwFileVersionLS);
  return true;
}

bool ReadFileVersionStrings(const std::wstring& path, std::wstring out[4]) {
  for (int i = 0; i < 4; ++i) out[i].clear();
  std::vector<unsigned char> block;
  if (!LoadVersionBlock(path, &block)) return false;
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                      &length) ||
      !translation || length < sizeof(Translation))
    return true;  // a version resource without strings
  wchar_t pair[16];
  std::swprintf(pair, 16, L"%04x%04x", translation->language, translation->codePage);
  static const wchar_t* const kNames[4] = {L"ProductName", L"ProductVersion", L"LegalCopyright",
                                           L"FileDescription"};
  for (int i = 0; i < 4; ++i) {
    const std::wstring query = std::wstring(L"\\StringFileInfo\\") + pair + L"\\" + kNames[i];
    wchar_t* text = nullptr;
    UINT chars = 0;
    if (VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &chars) && text &&
        chars > 0) {
      std::wstring value(text, chars);
      while (!value.empty() && value.back() == L'\0') value.pop_back();
      out[i] = value;
    }
  }
  return true;
}

}  // namespace platform
