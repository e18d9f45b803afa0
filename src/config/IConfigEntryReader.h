// Reads entries of the embedded product configuration by name, the way the
// main window reads its hidden label controls (the entry's name is the
// control's name, its value the control's text). The main window implements
// it over its controls; CEmbeddedConfigReader reads the configuration file of
// the resource archive directly until then and wherever no window exists.
#pragma once

#include <string>

class IConfigEntryReader {
 public:
  virtual ~IConfigEntryReader() = default;
  // The entry's text; empty when there is no such entry.
  virtual std::wstring ReadEntry(const std::wstring& name) = 0;
};
