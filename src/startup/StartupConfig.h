// The few product values that start-up reads straight from the embedded
// configuration "configure/configure.xml", before any window exists.
#pragma once

#include <cstdint>
#include <string>

namespace tinyxml2 {
class XMLDocument;
}
namespace toolkit {
class ResourceArchive;
}

struct StartupConfig {
  std::wstring downloaderIdText;  // as written; names the window class
  int32_t downloaderId = 0;
  int32_t siteId = 0;
  std::wstring softwareName;
  std::wstring softwareVersion;
  std::wstring downloadUrl;  // first Download_url/Extra_download_url off a CDN
  int32_t mainPid = 0;
  std::wstring support32System;

  // Downloader ids 277 and 278 mark the analytics test builds.
  bool IsAnalyticsTestBuild() const { return downloaderId == 277 || downloaderId == 278; }
  // Only the text "0" forbids running on a 32-bit system.
  bool Refuses32BitSystem(bool systemIs64Bit) const {
    return support32System == L"0" && !systemIs64Bit;
  }
};

// Walks the children of the root's first child in document order: an
// element's first attribute is the key and its second the value, whatever
// their names. Keys the start-up does not use are skipped.
StartupConfig ReadStartupConfig(const tinyxml2::XMLDocument& document);
// The same from "configure\\configure.xml" of the archive; all defaults when
// the member is missing or not XML.
StartupConfig LoadStartupConfig(const toolkit::ResourceArchive& archive);

// _wtoi: leading blanks, an optional sign, then digits; 0 for other text;
// clamped to the 32-bit range.
int32_t WideToInt(const std::wstring& text);
