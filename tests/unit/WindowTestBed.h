// What the window tests run on: the headless backend and a message loop on a
// clock the test moves, a fake system (in-memory registry, a 1920 by 1080
// screen, a program folder whose settings file the test writes), and the
// shipped skin archive, as it is or with changed members.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <string>

#include "FakeSystem.h"
#include "ShippedSkin.h"
#include "TempFolder.h"
#include "ZipBytes.h"
#include "toolkit/MessageLoop.h"
#include "toolkit/headless/HeadlessBackend.h"

class WindowTestBed {
 public:
  class TestClock : public toolkit::Clock {
   public:
    uint64_t NowMs() const override { return now; }
    uint64_t now = 1000;
  };

  WindowTestBed() {
    fake.SetModulePath((temp.path() / "Setup.exe").wstring());
    fake.UseMemoryRegistry();
    fake.SetScreen(platform::ScreenInfo{1920, 1080, 1920});
    fake.SetLanguage(1033);
  }

  // The AutoRun switch of the settings file beside the program.
  void SetAutoRun(bool on) { std::ofstream(temp.path() / "ov_downloader.cfg") << "[Settings]\nAutoRun=" << on << "\n"; }

  void PumpAll() {
    while (loop.PumpOnce()) {
    }
  }

  // The shipped archive with some members changed: member name -> its new content from the old.
  using Change = std::function<std::string(const std::string&)>;
  const toolkit::ResourceArchive& ChangedSkin(const std::map<std::string, Change>& changes) {
    Members members;
    for (const std::string& name : shipped_skin::Archive().MemberNames()) {
      std::string content;
      EXPECT_TRUE(shipped_skin::Archive().ReadMember(platform::Utf8ToWide(name), &content)) << name;
      const auto change = changes.find(name);
      members.emplace_back(name, change == changes.end() ? content : change->second(content));
    }
    const std::string zip = ZipBytes(members);
    changed_ = std::make_unique<toolkit::ResourceArchive>();
    EXPECT_TRUE(changed_->Open(zip.data(), zip.size()));
    return *changed_;
  }
  // The change of "configure/configure.xml" that gives entries new texts.
  static std::map<std::string, Change> Entries(const std::map<std::string, std::string>& values) {
    return {{"configure/configure.xml", [values](std::string xml) {
               for (const auto& [name, value] : values)
                 xml = std::regex_replace(xml, std::regex("name=\"" + name + "\" text=\"[^\"]*\""),
                                          "name=\"" + name + "\" text=\"" + value + "\"");
               return xml;
             }}};
  }

  TempFolder temp;
  FakeSystem fake;
  FakeSystemGuard guard{fake};
  TestClock clock;
  toolkit::HeadlessBackend backend{shipped_skin::Archive()};
  toolkit::MessageLoop loop{backend, clock};

 private:
  std::unique_ptr<toolkit::ResourceArchive> changed_;
};
