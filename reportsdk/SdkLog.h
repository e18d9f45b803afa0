// The reporting SDK's own log: one file per day of Init in the data folder
// of the main product id (the installer's log is not used).
#pragma once

#include <string>

// Closes an open log and opens (appends to) the file at `path`; logging
// stays off when it cannot be opened. The file is opened without following
// a link (platform::OpenFile): its folder lies under the user's APPDATA.
void OpenSdkLog(const std::wstring& path);

// printf-style format and arguments (UTF-8 texts). Writes one line
// "YYYYMMDD-hhmmss-mmm [pid] message"; -1 when no log is open.
int WriteSdkLog(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
