#include "startup/StartupConfig.h"

#include <tinyxml2.h>

#include <cwctype>
#include <limits>

#include "platform/Platform.h"
#include "toolkit/XmlLoader.h"

namespace {

bool PointsAtCdn(const std::wstring& url) {
  return url.find(L"//cdn.") != std::wstring::npos || url.find(L"//dl.") != std::wstring::npos;
}

void ApplyEntry(const std::wstring& key, const std::wstring& value, StartupConfig* config) {
  if (key == L"Downloader_id") {
    config->downloaderIdText = value;
    config->downloaderId = WideToInt(value);
  } else if (key == L"Site_id") {
    config->siteId = WideToInt(value);
  } else if (key == L"MainPid") {
    config->mainPid = WideToInt(value);
  } else if (key == L"Software_name") {
    config->softwareName = value;
  } else if (key == L"Software_version") {
    config->softwareVersion = value;
  } else if (key == L"Support32System") {
    config->support32System = value;
  } else if ((key == L"Download_url" || key == L"Extra_download_url") &&
             config->downloadUrl.empty() && !PointsAtCdn(value)) {
    config->downloadUrl = value;
  }
}

}  // namespace

int32_t WideToInt(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && std::iswspace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  int64_t value = 0;
  const int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9' && value <= limit; ++i)
    value = value * 10 + (text[i] - L'0');
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

StartupConfig ReadStartupConfig(const tinyxml2::XMLDocument& document) {
  StartupConfig config;
  const tinyxml2::XMLElement* root = document.RootElement();
  const tinyxml2::XMLElement* productConfig = root ? root->FirstChildElement() : nullptr;
  if (!productConfig) return config;
  for (const tinyxml2::XMLElement* entry = productConfig->FirstChildElement(); entry;
       entry = entry->NextSiblingElement()) {
    const tinyxml2::XMLAttribute* key = entry->FirstAttribute();
    const tinyxml2::XMLAttribute* value = key ? key->Next() : nullptr;
    if (value)
      ApplyEntry(platform::Utf8ToWide(key->Value()), platform::Utf8ToWide(value->Value()), &config);
  }
  return config;
}

StartupConfig LoadStartupConfig(const toolkit::ResourceArchive& archive) {
  tinyxml2::XMLDocument document;
  if (!toolkit::LoadXml(archive, L"configure\\configure.xml", &document)) return StartupConfig();
  return ReadStartupConfig(document);
}
