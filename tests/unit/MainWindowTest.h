// The fixture of the main-window tests: a window on the shipped skin (or a
// changed one) over the headless test bed, with analytics that record what
// they would send.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "RecordingReport.h"
#include "WindowTestBed.h"
#include "window/InstallUIMainWnd.h"

namespace {

// The value of `name` in a GA4 parameter string.
std::string Param(const std::string& params, const std::string& name) {
  const std::string marker = "&" + name + "=";
  const size_t at = params.find(marker);
  if (at == std::string::npos) return "<none>";
  const size_t from = at + marker.size();
  return params.substr(from, params.find('&', from) - from);
}

class MainWindowTest : public ::testing::Test {
 protected:
  // A window on `archive`, initialised, its configuration fetch ended (the
  // configuration hosts refuse at once).
  std::unique_ptr<InstallUIMainWnd> Open(const toolkit::ResourceArchive& archive = shipped_skin::Archive(),
                                         const std::wstring& className = L"") {
    InstallUIMainWnd::Context context = context_;
    context.className = className;
    context.archive = &archive;
    context.analytics = &analytics_;
    context.clock = &bed_.clock;
    context.configHosts = CConfigure::Hosts{"127.0.0.1:9", "127.0.0.1:9"};
    auto window = std::make_unique<InstallUIMainWnd>(bed_.loop, context);
    EXPECT_TRUE(window->CreateMainWindow());
    EXPECT_TRUE(window->WaitForAllThreadExit(30000));
    return window;
  }
  // GA4 events as "category/action/label" and funnel events as
  // "type core step action", in the order sent.
  std::vector<std::string> Events() const {
    std::vector<std::string> events;
    for (const RecordingReport::Call& call : report_.calls) {
      if (call.op == "AddGa4Event")
        events.push_back(Param(call.text, "ep.ov_category") + "/" + Param(call.text, "ep.ov_action") + "/" +
                         Param(call.text, "ep.ov_label"));
      if (call.op == "AddEvent") {
        const Json::Value& a = call.json["actions"];
        events.push_back(a["event_type"].asString() + " " + a["core_func_name"].asString() + " " +
                         std::to_string(a["func_step"].asInt()) + " " + a["event_action"].asString());
      }
    }
    return events;
  }
  std::wstring Text(InstallUIMainWnd& window, const std::string& control) { return window.Find(control)->look.text; }
  int Visible(InstallUIMainWnd& window, const std::string& control) { return window.Find(control)->state.visible; }

  WindowTestBed bed_;
  InstallUIMainWnd::Context context_;  // what Open starts from
  RecordingReport report_;
  CSingleUserLog analytics_{&report_};
};

}  // namespace
