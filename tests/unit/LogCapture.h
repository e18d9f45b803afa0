// Collects the messages written to the log while it lives, so that a test can
// check the lines a component writes. One capture at a time.
//
// The sink itself is installed once, before the first test: the logging
// library's list of callbacks is not guarded against a change while another
// thread logs, and a capture may begin while a window's workers run.
#pragma once

#include <easylogging++.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

class LogCapture {
 public:
  LogCapture() : sink_(el::Helpers::logDispatchCallback<Sink>(kId)) { sink_->Capture(true); }
  ~LogCapture() { sink_->Capture(false); }
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
    void Capture(bool on) {
      std::lock_guard<std::mutex> lock(lock_);
      capturing_ = on;
      lines_.clear();
    }

   protected:
    void handle(const el::LogDispatchData* data) override {
      std::lock_guard<std::mutex> lock(lock_);
      if (capturing_) lines_.push_back(data->logMessage()->message());
    }

   private:
    std::mutex lock_;
    bool capturing_ = false;
    std::vector<std::string> lines_;
  };

  struct Installer : ::testing::Environment {
    void SetUp() override { el::Helpers::installLogDispatchCallback<Sink>(kId); }
  };
  static inline ::testing::Environment* const installer_ = ::testing::AddGlobalTestEnvironment(new Installer);

  Sink* sink_;
};
