// The names of a log upload: which file names may be uploaded, where the
// archive goes and the name the service receives it under.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace upload {

// A plain file name: not empty, no folder ("/" or "\\"), no "..", no drive
// or stream (":"), no control character, and no trailing dot or blank
// (which Windows drops, so that two names would reach one file).
bool IsPlainFileName(const std::wstring& name);
// `logFolder` + separator + the time's 17 digits + ".zip".
std::wstring ArchivePath(const std::wstring& logFolder, const platform::LocalTime& time);
// UTF-8: the file name up to its last "_", then "_", the time's 17 digits
// and ".zip"; empty when the name has no "_".
std::string UploadName(const std::wstring& fileName, const platform::LocalTime& time);
// UTF-8: "NoName_", the time's 17 digits and the archive path's extension
// from its last "." (".tmp" without one).
std::string NoNameUploadName(const std::wstring& archivePath, const platform::LocalTime& time);

}  // namespace upload
