// The worker pool's hand-over, reclaim and stop rules.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "download/CThreadManager.h"

namespace {

// A worker whose work routine waits until the test lets it finish.
class GateThread : public CThread {
 public:
  explicit GateThread(std::atomic<int>* runs)
      : runs_(runs) {}
  int taskBusiness() override {
    entered.Set();
    gate_.Wait();
    currentTask()->TaskStatus = CTask::kComplete;
    ++*runs_;
    return 1;
  }
  void open() { gate_.Set(); }
  AutoResetEvent entered;

 private:
  std::atomic<int>* runs_;
  AutoResetEvent gate_;
};

class GatePool : public CThreadManager {
 public:
  int createThreads(int count) override {
    for (int i = 0; i < count; ++i) addThread(std::make_unique<GateThread>(&runs));
    return static_cast<int>(threadCount());
  }
  std::atomic<int> runs{0};
};

}  // namespace

TEST(ThreadPool, TaskGoesToLastFreeThreadAndComesBackWhenIdle) {
  AutoResetEvent idle;  // outlives the pool's threads
  GatePool pool;
  pool.setIdleEvent(&idle);
  ASSERT_EQ(pool.createThreads(3), 3);
  CThread* last = pool.freeThreads().back();
  CTask task;
  ASSERT_EQ(pool.giveTaskToAThreadTodo(&task), 1);
  EXPECT_EQ(pool.busyThreads(), std::vector<CThread*>{last});
  EXPECT_EQ(pool.freeThreads().size(), 2u);
  pool.reclaimIdleThreads();  // still working
  EXPECT_EQ(pool.busyThreads().size(), 1u);

  static_cast<GateThread*>(last)->open();
  ASSERT_TRUE(idle.WaitFor(5000));
  pool.reclaimIdleThreads();
  EXPECT_TRUE(pool.busyThreads().empty());
  EXPECT_EQ(pool.freeThreads().back(), last);
  EXPECT_EQ(task.TaskStatus, CTask::kComplete);
  EXPECT_EQ(pool.runs, 1);
}

TEST(ThreadPool, NoFreeThreadRefusesTheTask) {
  GatePool pool;
  ASSERT_EQ(pool.createThreads(1), 1);
  CTask first, second;
  EXPECT_EQ(pool.giveTaskToAThreadTodo(&first), 1);
  EXPECT_EQ(pool.giveTaskToAThreadTodo(&second), 0);
  EXPECT_EQ(pool.getOneFreeThreads(), nullptr);
  auto* busy = static_cast<GateThread*>(pool.busyThreads().front());
  ASSERT_TRUE(busy->entered.WaitFor(5000));
  std::thread opener([busy] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    busy->open();
  });
  pool.releaseThreads();  // waits for the busy worker to finish its task
  opener.join();
  EXPECT_EQ(first.TaskStatus, CTask::kComplete);
  EXPECT_EQ(second.TaskStatus, CTask::kNew);
}

TEST(ThreadPool, StopEndsIdleThreads) {
  GatePool pool;
  ASSERT_EQ(pool.createThreads(4), 4);
  const std::vector<CThread*> threads = pool.freeThreads();
  EXPECT_EQ(pool.stopThreads(), 1);
  for (CThread* thread : threads) EXPECT_TRUE(thread->waitForExit(0));
}
