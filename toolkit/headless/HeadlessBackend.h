// The backend of Linux builds and tests: no screen, only the state a screen
// would show (which windows are enabled and visible), a real wait, and text
// metrics of a monospaced font: every character advances half the font size
// and a line is the font size and a third high.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>

#include "toolkit/WindowBackend.h"

namespace toolkit {

class HeadlessBackend : public WindowBackend {
 public:
  void SetWindowEnabled(int window, bool enabled) override;
  void SetWindowVisible(int window, bool visible) override;
  void Wait(int timeoutMs) override;
  void Wake() override;
  Size MeasureText(const std::wstring& text, const FontSpec& font) override;

  // Windows never touched are enabled and hidden.
  bool IsEnabled(int window) const;
  bool IsVisible(int window) const;

 private:
  mutable std::mutex lock_;
  std::condition_variable woken_;
  bool pendingWake_ = false;
  std::map<int, bool> enabled_, visible_;
};

}  // namespace toolkit
