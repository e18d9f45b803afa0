#include "download/CThread.h"

#include <easylogging++.h>

CThread::~CThread() {
  if (thread_.joinable()) {
    requestExit();
    thread_.join();
  }
}

int CThread::init() {
  try {
    thread_ = std::thread(&CThread::threadFunc, this);
  } catch (const std::system_error& error) {
    LOG(INFO) << "  creat thread error code =  " << error.code().value();
    return 0;
  }
  return 1;
}

int CThread::doTask(CTask* task) {
  task_ = task;
  if (task->Verbose)
    LOG(INFO) << " Tasks info, download begin, id = " << task->TaskId << ", task status = "
              << task->TaskStatus << ", thread status = " << ThreadState;
  ThreadState = kWork;
  event_.Set();
  return 1;
}

void CThread::requestExit() {
  ThreadState = kExit;
  event_.Set();
}

bool CThread::waitForExit(uint32_t ms) {
  std::unique_lock<std::mutex> lock(exitLock_);
  return exitCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return exited_; });
}

void CThread::join() {
  if (thread_.joinable()) thread_.join();
}

void CThread::threadFunc() {
  for (;;) {
    int32_t state = ThreadState;
    if (state == kExit) break;
    if (state == kIdle) {
      LOG(INFO) << " wait before thread " << std::this_thread::get_id();
      event_.Wait();
      LOG(INFO) << " wait after thread " << std::this_thread::get_id();
    } else if (state == kWork) {
      taskBusiness();
      // Only a task hand-over or an exit request changes the state from 1,
      // and neither happens while this thread is busy.
      int32_t expected = kWork;
      ThreadState.compare_exchange_strong(expected, kIdle);
      if (idleEvent_) idleEvent_->Set();
    }
  }
  std::lock_guard<std::mutex> lock(exitLock_);
  exited_ = true;
  exitCv_.notify_all();
}
