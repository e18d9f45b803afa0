// The entries of "configure/configure.xml" of the resource archive, read by
// name like the main window's hidden controls: every element with a "name"
// attribute is an entry whose value is its "text" attribute.
#pragma once

#include <map>
#include <string>

#include "config/IConfigEntryReader.h"
#include "toolkit/ResourceArchive.h"

class CEmbeddedConfigReader : public IConfigEntryReader {
 public:
  // Reads the file once; a missing or malformed file gives no entries.
  explicit CEmbeddedConfigReader(const toolkit::ResourceArchive& archive);
  std::wstring ReadEntry(const std::wstring& name) override;

 private:
  std::map<std::wstring, std::wstring> entries_;  // first entry of a name wins
};
