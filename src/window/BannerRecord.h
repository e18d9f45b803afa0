// One delivered banner picture of the data service: the banner thread fills
// it once the picture file is on disk and decodes; the UI thread reads it
// when the banners are ready.
#pragma once

#include <string>

struct BannerRecord {
  std::wstring bannerUrl;  // the picture's address
  std::wstring jumpUrl;    // kept, not shown
  std::wstring prompt;     // kept, not shown
  std::wstring localFile;  // the picture in the download folder
  int sort = 0;            // the carousel position it replaces, from 1
};
