// The main window on the shipped skin, headless, with a recording analytics
// front end: how the window tests open it, read what it reported and answer
// its message boxes.
#pragma once

#include <gtest/gtest.h>

#include <atomic>

#include <memory>
#include <string>
#include <vector>

#include "RecordingReport.h"
#include "WindowTestBed.h"
#include "window/InstallUIMainWnd.h"

class MainWindowTest : public ::testing::Test {
 protected:
  // A window on `archive`, initialised, its configuration fetch ended (the
  // configuration hosts refuse at once). The workers' hooks come from
  // `context_`; without one, the install worker only counts its starts and
  // the data-service fetches do nothing.
  std::unique_ptr<InstallUIMainWnd> Open(const toolkit::ResourceArchive& archive = shipped_skin::Archive(),
                                         const std::wstring& className = L"") {
    InstallUIMainWnd::Context context = context_;
    if (!context.runInstall) context.runInstall = [this](InstallHost&) { return ++workerStarts_, -1; };
    // The data service is not asked unless a test says how.
    if (!context.fetchBanners) context.fetchBanners = [](InstallUIMainWnd&) {};
    if (!context.fetchPrivacy) context.fetchPrivacy = [](InstallUIMainWnd&) {};
    context.className = className;
    context.archive = &archive;
    context.analytics = &analytics_;
    context.clock = &bed_.clock;
    context.configHosts = CConfigure::Hosts{"127.0.0.1:9", {"127.0.0.1:9"}};
    auto window = std::make_unique<InstallUIMainWnd>(bed_.loop, context);
    EXPECT_TRUE(window->CreateMainWindow());
    EXPECT_TRUE(window->WaitForAllThreadExit(30000));
    return window;
  }
  // In the order sent: GA4 events as "category/action/label", funnel events
  // as "type core step action", and pair funnels as "pair category/action/key=value".
  std::vector<std::string> Events() const {
    std::vector<std::string> events;
    for (const RecordingReport::Call& call : report_.calls) {
      if (call.op == "AddGa4Event")
        events.push_back(Param(call.text, "ep.ov_category") + "/" + Param(call.text, "ep.ov_action") + "/" +
                         Param(call.text, "ep.ov_label"));
      if (call.op != "AddEvent") continue;
      const Json::Value& a = call.json["actions"];
      if (a["event_type"].asString() != "event") {
        events.push_back(a["event_type"].asString() + " " + a["core_func_name"].asString() + " " +
                         std::to_string(a["func_step"].asInt()) + " " + a["event_action"].asString());
        continue;
      }
      std::string pair = "pair " + a["event_category"].asString() + "/" + a["event_action"].asString() + "/";
      for (const std::string& key : a.getMemberNames())
        if (key != "event_type" && key != "event_category" && key != "event_action")
          pair += key + "=" + a[key].asString();
      events.push_back(pair);
    }
    return events;
  }
  std::wstring Text(InstallUIMainWnd& window, const std::string& control) { return window.Find(control)->look.text; }
  int Visible(InstallUIMainWnd& window, const std::string& control) { return window.Find(control)->state.visible; }

  WindowTestBed bed_;
  RecordingReport report_;
  CSingleUserLog analytics_{&report_};
  InstallUIMainWnd::Context context_;
  std::atomic<int> workerStarts_{0};
};
