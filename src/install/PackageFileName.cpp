#include "install/PackageFileName.h"

#include "system/FuntionImpl.h"

std::wstring PackageFileName(const std::wstring& embeddedExtraUrl, const std::wstring& productVersion) {
  const size_t slash = embeddedExtraUrl.rfind(L'/');
  std::wstring stem = slash == std::wstring::npos ? embeddedExtraUrl : embeddedExtraUrl.substr(slash + 1);
  const size_t dot = stem.rfind(L'.');
  if (dot != std::wstring::npos) stem.erase(dot);
  return stem + L"_" + productVersion + (FuntionImpl::isExePath(embeddedExtraUrl) ? L".exe" : L".apk");
}
