#include "upload/UploadNames.h"

#include "runstate/RunState.h"
#include "system/FuntionImpl.h"

namespace upload {

bool IsPlainFileName(const std::wstring& name) {
  if (name.empty() || name.find(L"..") != std::wstring::npos) return false;
  if (name.back() == L'.' || name.back() == L' ') return false;
  for (const wchar_t c : name)
    if (c == L'/' || c == L'\\' || c == L':' || c < 0x20) return false;
  return true;
}

std::wstring ArchivePath(const std::wstring& logFolder, const platform::LocalTime& time) {
  return FuntionImpl::JoinPath(logFolder, FormatRunTimestamp(time) + L".zip");
}

std::string UploadName(const std::wstring& fileName, const platform::LocalTime& time) {
  const size_t underscore = fileName.rfind(L'_');
  if (underscore == std::wstring::npos) return std::string();
  return platform::WideToUtf8(fileName.substr(0, underscore) + L"_" + FormatRunTimestamp(time) + L".zip");
}

std::string NoNameUploadName(const std::wstring& archivePath, const platform::LocalTime& time) {
  const size_t dot = archivePath.rfind(L'.');
  const std::wstring extension = dot == std::wstring::npos ? L".tmp" : archivePath.substr(dot);
  return platform::WideToUtf8(L"NoName_" + FormatRunTimestamp(time) + extension);
}

}  // namespace upload
