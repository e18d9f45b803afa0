// The upload's archive: a standard ZIP file with one deflate entry
// (minizip).
#pragma once

#include <string>

#include "platform/Platform.h"

class CUploadArchive {
 public:
  // Writes `archivePath` with the bytes of `contentPath` as the one entry
  // `entryName` (UTF-8), dated `time`. False when any step fails; no archive
  // is left then.
  static bool Create(const std::wstring& archivePath, const std::string& entryName,
                     const std::wstring& contentPath, const platform::LocalTime& time);
};
