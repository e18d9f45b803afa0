// The slice tasks of a download and the two lists that hand them out: todo
// (waiting for a worker) and done (handed out or complete).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "download/CTask.h"

class CTaskManager {
 public:
  CTaskManager() = default;
  virtual ~CTaskManager() = default;
  CTaskManager(const CTaskManager&) = delete;
  CTaskManager& operator=(const CTaskManager&) = delete;

  // Takes the first waiting task, marks it handed out and moves it to the
  // done list; null when none waits.
  virtual CTask* getOneTaskTodo();
  // Append to a list; 0 for null, else 1.
  virtual int addTaskTodo(CTask* task);
  virtual int addTaskDone(CTask* task);

  // Takes ownership; a complete task goes to the done list, any other to todo.
  void addTask(std::unique_ptr<CTask> task);
  // Takes ownership of a helper that fetches the rest of a split slice and
  // puts it first in todo. Helpers are not slices of the task file.
  CTask* addHelper(std::unique_ptr<CTask> helper);
  // Moves a failed task from the done list back to the end of todo.
  void retryTask(CTask* task);
  // Frees every task and empties the lists.
  void clearTasks();

  const std::vector<std::unique_ptr<CTask>>& tasks() const { return tasks_; }
  const std::vector<std::unique_ptr<CTask>>& helpers() const { return helpers_; }
  const std::deque<CTask*>& todoTasks() const { return todo_; }
  const std::vector<CTask*>& doneTasks() const { return done_; }

  int64_t TasksCount = 0;

 private:
  std::vector<std::unique_ptr<CTask>> tasks_;
  std::vector<std::unique_ptr<CTask>> helpers_;
  std::vector<CTask*> done_;
  std::deque<CTask*> todo_;
};
