// A window for the install worker's tests: the embedded entries and the
// record are the test's, analytics goes to a recording report, and every
// post and action is recorded. When the worker says the installer has ended
// the "bar" stands at 99, so the finished event is set at once.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "RecordingReport.h"
#include "install/InstallHost.h"
#include "platform/Platform.h"

class FakeInstallHost : public InstallHost {
 public:
  using Entries = std::map<std::wstring, std::wstring>;

  explicit FakeInstallHost(Entries entries) : entries_(std::move(entries)) {
    record.loadState = CConfigure::kLoaded;
    record.source = CConfigure::kFromXml;
  }

  // ---- what the worker did ----
  std::vector<std::pair<unsigned, intptr_t>> Posts() {
    std::lock_guard<std::mutex> lock(lock_);
    return posts_;
  }
  std::vector<unsigned> PostedMessages() {
    std::vector<unsigned> messages;
    for (const auto& post : Posts()) messages.push_back(post.first);
    return messages;
  }
  std::vector<std::string> Actions() {
    std::lock_guard<std::mutex> lock(lock_);
    return actions_;
  }
  // GA4 events as "category/action/label", in the order sent.
  std::vector<std::string> Events() const {
    std::vector<std::string> events;
    for (const RecordingReport::Call& call : report.Of("AddGa4Event"))
      events.push_back(Param(call.text, "ep.ov_category") + "/" + Param(call.text, "ep.ov_action") + "/" +
                       Param(call.text, "ep.ov_label"));
    return events;
  }
  size_t CountEvent(const std::string& event) const {
    size_t count = 0;
    for (const std::string& e : Events()) count += e == event;
    return count;
  }

  // ---- InstallHost ----
  InstallState& State() override { return state; }
  CConfigure& Configure() override { return record; }
  std::wstring Entry(const std::wstring& name) override {
    const auto found = entries_.find(name);
    return found == entries_.end() ? std::wstring() : found->second;
  }
  EnumLanguage Language() override { return language; }
  std::wstring InstallPath() override { return installPath; }
  void SetPackageUrl(const std::wstring& url) override { Act("SetPackageUrl " + platform::WideToUtf8(url)); }
  void HandOverToAnalytics() override { Act("HandOverToAnalytics"); }
  CSingleUserLog& Analytics() override { return analytics; }
  void DownloadProgress(int64_t, int64_t total) override {
    int64_t unknown = 0;
    state.packageSize.compare_exchange_strong(unknown, total);
  }
  void Post(unsigned message, intptr_t wparam) override {
    std::lock_guard<std::mutex> lock(lock_);
    posts_.emplace_back(message, wparam);
  }
  void StartCarouselTimer() override { Act("StartCarouselTimer"); }
  void StopCarouselTimer() override { Act("StopCarouselTimer"); }
  void InstallerEnded() override {
    Act("InstallerEnded");
    state.progressFinished.Set();
  }
  void ClickStartApp() override { Act("ClickStartApp"); }
  void CloseWindow() override { Act("CloseWindow"); }

  InstallState state;
  CConfigure record{578, 1033, 10};
  RecordingReport report;
  CSingleUserLog analytics{&report};
  EnumLanguage language = English;
  std::wstring installPath;

 private:
  void Act(const std::string& action) {
    std::lock_guard<std::mutex> lock(lock_);
    actions_.push_back(action);
  }

  Entries entries_;
  std::mutex lock_;
  std::vector<std::pair<unsigned, intptr_t>> posts_;
  std::vector<std::string> actions_;
};
