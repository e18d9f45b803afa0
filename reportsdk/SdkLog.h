// The reporting SDK's own log: one file per day of Init in the data folder
// of the main product id (the installer's log is not used).
#pragma once

// printf-style format and arguments (UTF-8 texts). Writes one line
// "YYYYMMDD-hhmmss-mmm [pid] message"; -1 when no log is open.
int WriteSdkLog(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
