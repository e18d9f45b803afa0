// The start-up's reading of its command line: one of the two upload modes,
// or the interactive installer.
#pragma once

#include <string>

struct CommandLineMode {
  enum Kind { kInteractive, kCrashDumpUpload, kCloseUpload };
  Kind kind = kInteractive;
  std::wstring fileName;  // the file to upload, a name inside the log folder
  std::string category;   // "CrashDmp" or the close code ("close01" ...)
};

// `commandLine` is the text after the program's own path. "-dmp " anywhere
// wins over "-close". The window's closing path starts a copy with
// "-close05 setup_20240101123000123.log": the close code fills positions 1
// to 7 and the file name starts nine characters after "-close" begins.
CommandLineMode ParseCommandLine(const std::wstring& commandLine);
