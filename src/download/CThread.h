// A reusable worker thread that sleeps on its event until it is given a task.
#pragma once

#include <atomic>
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "download/AutoResetEvent.h"
#include "download/CTask.h"

class CThread {
 public:
  enum State : int32_t { kExit = 0, kWork = 1, kIdle = 2 };

  CThread() = default;
  // Owners stop and join the thread (stopAndJoin) before the derived part of
  // the object goes away.
  virtual ~CThread();
  CThread(const CThread&) = delete;
  CThread& operator=(const CThread&) = delete;

  // Starts the OS thread: 1 on success, 0 when it cannot be started.
  int init();
  // Hands a task over: task, then state 1, then the event. Returns 1.
  int doTask(CTask* task);
  // The work routine, run on the thread for each task handed over.
  virtual int taskBusiness() = 0;

  // State 0 and the event: an idle thread ends.
  void requestExit();
  // True when the thread procedure has returned within `ms`.
  bool waitForExit(uint32_t ms);
  // Waits without limit for the thread to end (after requestExit).
  void join();
  // Set whenever the thread goes idle; lets the driver sleep until then.
  void setIdleEvent(AutoResetEvent* event) { idleEvent_ = event; }

  CTask* currentTask() const { return task_.load(); }

  std::atomic<int32_t> ThreadState{kIdle};

 private:
  void threadFunc();

  std::atomic<CTask*> task_{nullptr};
  AutoResetEvent event_;
  AutoResetEvent* idleEvent_ = nullptr;
  std::thread thread_;
  std::mutex exitLock_;
  std::condition_variable exitCv_;
  bool exited_ = false;
};
