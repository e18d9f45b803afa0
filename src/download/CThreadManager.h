// The worker pool: every thread in one list, the free ones and the busy ones
// in two more. The lists are used by one thread only (the download driver).
#pragma once

#include <memory>
#include <vector>

#include "download/AutoResetEvent.h"
#include "download/CThread.h"

class CThreadManager {
 public:
  CThreadManager() = default;
  // Joins every thread before it is freed.
  virtual ~CThreadManager();
  CThreadManager(const CThreadManager&) = delete;
  CThreadManager& operator=(const CThreadManager&) = delete;

  // Creates and starts `count` workers; returns the number of running threads.
  virtual int createThreads(int count) = 0;

  // Removes and returns the last free thread; null when none is free.
  CThread* getOneFreeThreads();
  // Gives the task to a free thread: 1, or 0 without a free thread.
  int giveTaskToAThreadTodo(CTask* task);
  // Moves every busy thread that is idle again to the end of the free list.
  void reclaimIdleThreads();
  // Asks every free thread to end and waits up to 30 s for each. Returns 1.
  int stopThreads();
  // Ends every thread, waiting for busy ones without limit, frees them and
  // empties the lists: afterwards no worker touches the tasks or the file.
  void releaseThreads();

  // Set by every worker that goes idle (lets the driver sleep until then);
  // given before createThreads.
  void setIdleEvent(AutoResetEvent* event) { idleEvent_ = event; }
  size_t threadCount() const { return threads_.size(); }
  const std::vector<CThread*>& freeThreads() const { return free_; }
  const std::vector<CThread*>& busyThreads() const { return busy_; }

 protected:
  // Starts the thread; a thread that cannot start is dropped. 1 when added.
  int addThread(std::unique_ptr<CThread> thread);

 private:
  std::vector<std::unique_ptr<CThread>> threads_;
  std::vector<CThread*> free_;
  std::vector<CThread*> busy_;
  AutoResetEvent* idleEvent_ = nullptr;
};
