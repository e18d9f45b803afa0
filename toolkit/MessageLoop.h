// The UI thread's message loop: messages posted from any thread (the only
// way a worker talks to a window), per-window timers, and modal loops that
// disable their owner. Everything but Post and Wake runs on the loop's thread.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>

#include "toolkit/Clock.h"
#include "toolkit/TimerQueue.h"
#include "toolkit/WindowBackend.h"

namespace toolkit {

class MessageLoop {
 public:
  using MessageHandler = std::function<void(unsigned message, intptr_t wparam, intptr_t lparam)>;
  using TimerHandler = std::function<void(unsigned id)>;

  MessageLoop(WindowBackend& backend, const Clock& clock);

  WindowBackend& backend() const { return backend_; }

  // Registers a window; its handle is never 0 (0 is "no owner").
  int AddWindow(MessageHandler onMessage, TimerHandler onTimer);
  // Kills the window's timers and drops what is still posted to it.
  void RemoveWindow(int window);

  // Any thread. Messages are delivered in the order they were posted. False
  // when the window is gone, so that a late worker cannot reach it.
  bool Post(int window, unsigned message, intptr_t wparam = 0, intptr_t lparam = 0);
  void Wake();

  void SetTimer(int window, unsigned id, uint64_t intervalMs);
  bool KillTimer(int window, unsigned id);

  // Delivers one posted message or fires one due timer, then has the
  // window drawn again; false when neither was waiting.
  bool PumpOnce();
  // Runs until Quit; returns its code.
  int Run();
  // Ends Run, and every modal loop running now, so that a close that comes
  // while a box is up does not leave the thread in the box's loop.
  void Quit(int code);
  // Shows `window` and runs until it ends, with `owner` (0: none) disabled
  // meanwhile. Returns the window's first close code, 0 when a Quit ended
  // it (the window is then hidden). Nests: the owner is enabled again only
  // when the last modal loop over it ends.
  int RunModal(int window, int owner);
  void EndModal(int window, int code);

 private:
  struct Posted {
    int window;
    unsigned message;
    intptr_t wparam, lparam;
  };
  struct WindowEntry {
    MessageHandler onMessage;
    TimerHandler onTimer;
    int disableCount = 0;
    bool closed = false;
    int closeCode = 0;
  };

  bool TakePosted(Posted* posted);
  void WaitForWork();
  void Disable(int window);
  void Enable(int window);

  WindowBackend& backend_;
  const Clock& clock_;
  std::map<int, WindowEntry> windows_;
  TimerQueue timers_;
  int nextWindow_ = 1;
  bool quit_ = false;
  int quitCode_ = 0;
  unsigned quits_ = 0;  // Quit calls so far: a modal loop ends at the next one

  std::mutex postLock_;  // guards what other threads reach
  std::deque<Posted> posted_;
  std::set<int> live_;
};

}  // namespace toolkit
