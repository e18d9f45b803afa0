// The single-instance mutex kept for start-up and for the install worker.
#include <gtest/gtest.h>

#include <memory>

#include "system/InstanceMutex.h"

namespace {

struct Counts {
  int releases = 0;
  bool closed = false;
};

class CountingMutex : public platform::NamedMutex {
 public:
  explicit CountingMutex(Counts* counts) : counts_(counts) {}
  ~CountingMutex() override { counts_->closed = true; }
  void Release() override { ++counts_->releases; }

 private:
  Counts* counts_;
};

TEST(InstanceMutex, ReleasedOnceAndClosedWhenNeitherKeepsIt) {
  CInstanceMutex& holder = CInstanceMutex::GetInstance();
  for (bool workerFirst : {false, true}) {
    Counts counts;
    holder.Keep(std::make_unique<CountingMutex>(&counts));
    EXPECT_TRUE(holder.HeldByStartup());
    EXPECT_TRUE(holder.HeldByWorker());
    if (workerFirst) holder.ReleaseForWorker(); else holder.ReleaseForStartup();
    EXPECT_EQ(counts.releases, 1);
    EXPECT_FALSE(counts.closed);
    if (workerFirst) holder.ReleaseForStartup(); else holder.ReleaseForWorker();
    holder.ReleaseForStartup();
    EXPECT_EQ(counts.releases, 1);
    EXPECT_TRUE(counts.closed);
    EXPECT_FALSE(holder.HeldByStartup() || holder.HeldByWorker());
  }
}

TEST(InstanceMutex, NoHandleMeansNothingToRelease) {
  CInstanceMutex& holder = CInstanceMutex::GetInstance();
  holder.Keep(nullptr);
  EXPECT_FALSE(holder.HeldByStartup());
  holder.ReleaseForStartup();
  holder.ReleaseForWorker();
  EXPECT_FALSE(holder.HeldByWorker());
}

}  // namespace
