#include "download/CThreadManager.h"

#include <algorithm>

#include <easylogging++.h>

namespace {
constexpr uint32_t kExitWaitMs = 30000;
}  // namespace

CThreadManager::~CThreadManager() { releaseThreads(); }

CThread* CThreadManager::getOneFreeThreads() {
  if (free_.empty()) {
    LOG(INFO) << "is no free threads";
    return nullptr;
  }
  CThread* thread = free_.back();
  free_.pop_back();
  return thread;
}

int CThreadManager::giveTaskToAThreadTodo(CTask* task) {
  CThread* thread = getOneFreeThreads();
  if (!thread) {
    LOG(INFO) << "get free thread is null" << (task ? task->TaskId.load() : 0);
    return 0;
  }
  thread->doTask(task);
  busy_.push_back(thread);
  return 1;
}

void CThreadManager::reclaimIdleThreads() {
  auto idle = std::stable_partition(busy_.begin(), busy_.end(),
                                    [](CThread* t) { return t->ThreadState != CThread::kIdle; });
  free_.insert(free_.end(), idle, busy_.end());
  busy_.erase(idle, busy_.end());
}

int CThreadManager::stopThreads() {
  for (CThread* thread : free_) thread->requestExit();
  LOG(INFO) << " start wait threads exit";
  for (CThread* thread : free_) thread->waitForExit(kExitWaitMs);
  LOG(INFO) << " end wait threads exit";
  return 1;
}

void CThreadManager::releaseThreads() {
  for (auto& thread : threads_) thread->requestExit();
  for (auto& thread : threads_) thread->join();
  free_.clear();
  busy_.clear();
  threads_.clear();
}

int CThreadManager::addThread(std::unique_ptr<CThread> thread) {
  thread->setIdleEvent(idleEvent_);
  if (!thread->init()) return 0;
  free_.push_back(thread.get());
  threads_.push_back(std::move(thread));
  return 1;
}
