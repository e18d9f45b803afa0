// Puts the running program in a test folder (through the fake system's
// module path), so that its settings file "ov_downloader.cfg" is the test's.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "unit/FakeSystem.h"

class TestSettings {
 public:
  explicit TestSettings(const std::filesystem::path& folder) : folder_(folder), guard_(fake_) {
    fake_.SetModulePath((folder_ / "setup_itests").wstring());
  }
  // Writes the [Settings] section with the given "key=value" lines.
  void Write(const std::string& lines) {
    std::ofstream(folder_ / "ov_downloader.cfg") << "[Settings]\n" << lines;
  }
  FakeSystem& system() { return fake_; }

 private:
  std::filesystem::path folder_;
  FakeSystem fake_;
  FakeSystemGuard guard_;
};
