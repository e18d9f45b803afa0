// Embedded-configuration entries for a test, given as a map (the stand-in for
// the main window's hidden controls).
#pragma once

#include <map>
#include <string>
#include <utility>

#include "config/IConfigEntryReader.h"

class MapConfigReader : public IConfigEntryReader {
 public:
  using Entries = std::map<std::wstring, std::wstring>;
  explicit MapConfigReader(Entries entries) : entries_(std::move(entries)) {}
  std::wstring ReadEntry(const std::wstring& name) override {
    const auto found = entries_.find(name);
    return found == entries_.end() ? std::wstring() : found->second;
  }

 private:
  Entries entries_;
};
