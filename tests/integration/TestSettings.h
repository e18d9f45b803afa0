// Puts the running program in a test folder (through the fake system's
// module path), so that its settings file "ov_downloader.cfg" is the test's.
//
// The fake system is installed once and lives as long as the process: the
// reporting SDK's sender thread, started by the first analytics event and
// never stopped, keeps reading the system (through the settings file) after
// a test has ended. Each TestSettings sets the fake's values for one test and
// gives the real ones back afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "unit/FakeSystem.h"

class TestSettings {
 public:
  explicit TestSettings(const std::filesystem::path& folder) : folder_(folder) {
    system().SetModulePath((folder_ / "setup_itests").wstring());
  }
  ~TestSettings() {
    system().SetModulePath(platform::RealSystem().ModulePath());
    system().SetOsVersion(platform::RealSystem().OsVersion());
  }
  TestSettings(const TestSettings&) = delete;
  TestSettings& operator=(const TestSettings&) = delete;

  // Writes the [Settings] section with the given "key=value" lines.
  void Write(const std::string& lines) {
    std::ofstream(folder_ / "ov_downloader.cfg") << "[Settings]\n" << lines;
  }
  static FakeSystem& system() {
    static FakeSystem* fake = [] {
      auto* installed = new FakeSystem;  // never destroyed: see above
      platform::SetSystem(installed);
      return installed;
    }();
    return *fake;
  }

 private:
  std::filesystem::path folder_;
};
