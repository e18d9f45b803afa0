// Collects the messages written to the log while it lives, so that a test can
// check the lines a component writes. One capture at a time.
#pragma once

#include <easylogging++.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

class LogCapture {
 public:
  LogCapture() {
    el::Helpers::installLogDispatchCallback<Sink>(kId);
    sink_ = el::Helpers::logDispatchCallback<Sink>(kId);
  }
  ~LogCapture() { el::Helpers::uninstallLogDispatchCallback<Sink>(kId); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::string> Lines() const { return sink_->Lines(); }
  // Whether a message equals `line` exactly.
  bool Has(const std::string& line) const {
    const auto lines = Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  // Whether a message contains `text`.
  bool Contains(const std::string& text) const { return Count(text) > 0; }
  size_t Count(const std::string& text) const {
    const auto lines = Lines();
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
      return l.find(text) != std::string::npos;
    }));
  }

 private:
  static constexpr const char* kId = "LogCapture";

  class Sink : public el::LogDispatchCallback {
   public:
    std::vector<std::string> Lines() {
      std::lock_guard<std::mutex> lock(lock_);
      return lines_;
    }

   protected:
    void handle(const el::LogDispatchData* data) override {
      std::lock_guard<std::mutex> lock(lock_);
      lines_.push_back(data->logMessage()->message());
    }

   private:
    std::mutex lock_;
    std::vector<std::string> lines_;
  };

  Sink* sink_;
};
