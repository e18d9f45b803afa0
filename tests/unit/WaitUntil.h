// Waits for a condition that another thread or process brings about. The
// limit only ends a hang: a test that reaches it reports that the condition
// never happened, never that something was slow.
#pragma once

#include <chrono>
#include <thread>

template <class Condition>
bool WaitUntil(Condition condition, std::chrono::seconds limit = std::chrono::seconds(60)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}
