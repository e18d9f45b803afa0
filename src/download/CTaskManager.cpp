#include "download/CTaskManager.h"

#include <algorithm>

CTask* CTaskManager::getOneTaskTodo() {
  if (todo_.empty()) return nullptr;
  CTask* task = todo_.front();
  todo_.pop_front();
  task->TaskStatus = CTask::kHandedOut;
  done_.push_back(task);
  return task;
}

int CTaskManager::addTaskTodo(CTask* task) {
  if (!task) return 0;
  todo_.push_back(task);
  return 1;
}

int CTaskManager::addTaskDone(CTask* task) {
  if (!task) return 0;
  done_.push_back(task);
  return 1;
}

void CTaskManager::addTask(std::unique_ptr<CTask> task) {
  CTask* raw = task.get();
  tasks_.push_back(std::move(task));
  if (raw->TaskStatus == CTask::kComplete)
    addTaskDone(raw);
  else
    addTaskTodo(raw);
}

CTask* CTaskManager::addHelper(std::unique_ptr<CTask> helper) {
  CTask* raw = helper.get();
  helpers_.push_back(std::move(helper));
  todo_.push_front(raw);
  return raw;
}

void CTaskManager::retryTask(CTask* task) {
  done_.erase(std::remove(done_.begin(), done_.end(), task), done_.end());
  task->TaskStatus = CTask::kNew;
  todo_.push_back(task);
}

void CTaskManager::clearTasks() {
  todo_.clear();
  done_.clear();
  helpers_.clear();
  tasks_.clear();
  TasksCount = 0;
}
