// Where nobody sits at the screen (the headless backend of Linux builds),
// the program closes the window it runs by itself: at once, or, when the
// variable kTestHoldFileVariable names a file, once that file exists (at
// most two minutes later), so that a test can keep a copy running.
#pragma once

#include <atomic>
#include <thread>

#include "toolkit/SkinWindow.h"

class UnattendedClose {
 public:
  // Does nothing when the window's backend has a user. Call once the window exists.
  explicit UnattendedClose(toolkit::SkinWindow& window);
  ~UnattendedClose();  // stops watching
  UnattendedClose(const UnattendedClose&) = delete;
  UnattendedClose& operator=(const UnattendedClose&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::thread watcher_;
};
