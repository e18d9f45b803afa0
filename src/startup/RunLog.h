// The run's log file: its name stem from the start-up download URL and the
// configuration of the logging library that writes every line into it.
#pragma once

#include <optional>
#include <string>

// The text between the URL's last "/" and the first "." after it
// (".../setup.exe" gives "setup"); none, meaning no log file, when the URL
// has no "/" or no "." after its last "/".
std::optional<std::wstring> LogStemOfUrl(const std::wstring& url);

// Sends Info lines of the logger "default" to the file and to standard
// output as "%datetime--[Thread](%thread) %msg"; fatal lines do not abort.
void ConfigureRunLog(const std::wstring& logFile);
