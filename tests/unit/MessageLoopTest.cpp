// The message loop: timers in order of due time on a driven clock, posting
// from many threads, modal loops nesting under a worker's message, and the
// notification table.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "toolkit/Control.h"
#include "toolkit/MessageLoop.h"
#include "toolkit/NotifyTable.h"
#include "toolkit/headless/HeadlessBackend.h"

namespace {

using toolkit::MessageLoop;

class TestClock : public toolkit::Clock {
 public:
  uint64_t NowMs() const override { return now; }
  uint64_t now = 1000;
};

class MessageLoopTest : public ::testing::Test {
 protected:
  void PumpAll() {
    while (loop_.PumpOnce()) {
    }
  }
  toolkit::HeadlessBackend backend_;
  TestClock clock_;
  MessageLoop loop_{backend_, clock_};
};

TEST_F(MessageLoopTest, TimersFireInOrderOfDueTimeAndStopWhenKilled) {
  std::vector<std::pair<int, unsigned>> fired;
  const auto record = [&](int window) { return [&fired, window](unsigned id) { fired.push_back({window, id}); }; };
  const int a = loop_.AddWindow(nullptr, record(1));
  const int b = loop_.AddWindow(nullptr, record(2));
  loop_.SetTimer(a, 666, 2000);
  loop_.SetTimer(b, 777, 1000);
  loop_.SetTimer(a, 5, 2000);
  clock_.now += 999;
  PumpAll();
  EXPECT_TRUE(fired.empty());
  clock_.now += 1;
  PumpAll();
  ASSERT_EQ(fired, (std::vector<std::pair<int, unsigned>>{{2, 777}}));
  // Three timers due at once fire in the order they were set or last fired.
  clock_.now += 1000;
  PumpAll();
  EXPECT_EQ(fired, (std::vector<std::pair<int, unsigned>>{{2, 777}, {1, 666}, {1, 5}, {2, 777}}));

  // A clock jump fires a late timer once, not once per missed interval.
  fired.clear();
  EXPECT_TRUE(loop_.KillTimer(a, 666));
  EXPECT_FALSE(loop_.KillTimer(a, 666));
  loop_.RemoveWindow(a);
  clock_.now += 10000;
  PumpAll();
  EXPECT_EQ(fired, (std::vector<std::pair<int, unsigned>>{{2, 777}}));
  loop_.SetTimer(b, 777, 0);  // replaced; a zero interval still lets the pump end
  clock_.now += 1;
  PumpAll();
  EXPECT_EQ(fired.size(), 2u);
}

TEST_F(MessageLoopTest, EightThreadsPostAtOnceAndEachMessageArrivesOnceInOrder) {
  constexpr int kThreads = 8, kEach = 2000;
  std::vector<int> last(kThreads, -1);
  int delivered = 0, outOfOrder = 0;
  const int window = loop_.AddWindow(
      [&](unsigned thread, intptr_t sequence, intptr_t) {
        if (sequence != last[thread] + 1) ++outOfOrder;
        last[thread] = static_cast<int>(sequence);
        if (++delivered == kThreads * kEach) loop_.Quit(7);
      },
      nullptr);
  std::atomic<bool> go{false};
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t)
    workers.emplace_back([&, t] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < kEach; ++i) loop_.Post(window, static_cast<unsigned>(t), i);
    });
  go = true;
  EXPECT_EQ(loop_.Run(), 7);
  for (auto& worker : workers) worker.join();
  EXPECT_EQ(delivered, kThreads * kEach);
  EXPECT_EQ(outOfOrder, 0);
  EXPECT_FALSE(loop_.PumpOnce());  // nothing delivered twice
  loop_.RemoveWindow(window);
  EXPECT_FALSE(loop_.Post(window, 0));
}

// A worker's message opens a box over the main window; while it is up a
// second message opens another. Closing the inner box keeps the owner
// disabled; closing the outer one enables it again.
TEST_F(MessageLoopTest, ModalLoopsNestUnderAWorkerMessage) {
  enum : unsigned { kOpenFirst = 1, kOpenSecond, kCloseSecond, kCloseFirst };
  int first = 0, second = 0, firstResult = 0, secondResult = 0;
  bool disabledAfterInner = false;
  std::thread worker;
  int main = 0;
  main = loop_.AddWindow(
      [&](unsigned message, intptr_t, intptr_t) {
        if (message == kOpenFirst) {
          worker = std::thread([&] { loop_.Post(main, kOpenSecond); });
          firstResult = loop_.RunModal(first, main);
          loop_.Quit(0);
        } else if (message == kOpenSecond) {
          loop_.Post(second, kCloseSecond);
          secondResult = loop_.RunModal(second, main);
          disabledAfterInner = !backend_.IsEnabled(main);
          loop_.Post(first, kCloseFirst);
        }
      },
      nullptr);
  const auto closer = [&](int* box) {
    return [&, box](unsigned message, intptr_t, intptr_t) {
      loop_.EndModal(*box, message == kCloseSecond ? 2 : 1);
      loop_.EndModal(*box, 9);  // a later close code is ignored
    };
  };
  first = loop_.AddWindow(closer(&first), nullptr);
  second = loop_.AddWindow(closer(&second), nullptr);
  std::thread([&] { loop_.Post(main, kOpenFirst); }).join();
  loop_.Run();
  worker.join();
  EXPECT_EQ(secondResult, 2);
  EXPECT_EQ(firstResult, 1);
  EXPECT_TRUE(disabledAfterInner);
  EXPECT_TRUE(backend_.IsEnabled(main));
  EXPECT_FALSE(backend_.IsVisible(first));
}

// A quit that comes while boxes are up (a close request to the main window,
// or Windows ending the program) ends every modal loop at once with 0, the
// boxes hidden and the owner enabled, so that nothing keeps the thread in a
// box's loop; a box opened after it runs as usual.
TEST_F(MessageLoopTest, AQuitEndsEveryModalLoop) {
  enum : unsigned { kOpenOuter = 1, kOpenInner, kQuit };
  int outer = 0, inner = 0, outerResult = -1, innerResult = -1;
  int main = 0;
  main = loop_.AddWindow(
      [&](unsigned message, intptr_t, intptr_t) {
        if (message == kOpenOuter) {
          loop_.Post(main, kOpenInner);
          outerResult = loop_.RunModal(outer, main);
        } else if (message == kOpenInner) {
          loop_.Post(main, kQuit);
          innerResult = loop_.RunModal(inner, main);
        } else {
          loop_.Quit(3);
        }
      },
      nullptr);
  outer = loop_.AddWindow(nullptr, nullptr);
  inner = loop_.AddWindow(nullptr, nullptr);
  loop_.Post(main, kOpenOuter);
  EXPECT_EQ(loop_.Run(), 3);
  EXPECT_EQ(innerResult, 0);
  EXPECT_EQ(outerResult, 0);
  EXPECT_FALSE(backend_.IsVisible(inner));
  EXPECT_FALSE(backend_.IsVisible(outer));
  EXPECT_TRUE(backend_.IsEnabled(main));

  const int later = loop_.AddWindow([&](unsigned, intptr_t, intptr_t) { loop_.EndModal(later, 5); }, nullptr);
  loop_.Post(later, 1);
  EXPECT_EQ(loop_.RunModal(later, main), 5);
}

TEST(NotifyTableTest, NamedEntriesWinOverTheCatchAll) {
  toolkit::NotifyTable table;
  std::vector<std::string> seen;
  toolkit::Control install(toolkit::ControlKind::kButton), other(toolkit::ControlKind::kButton);
  std::string error;
  ASSERT_TRUE(install.SetAttribute("name", "install_btn", &error));
  table.On("install_btn", "click", [&](const toolkit::Notification&) { seen.push_back("install"); });
  table.On("", "click", [&](const toolkit::Notification& n) { seen.push_back("any:" + n.sender->name()); });
  table.On("", "link", [&](const toolkit::Notification& n) { seen.push_back("link" + std::to_string(n.index)); });
  EXPECT_TRUE(table.Dispatch({"click", &install, -1}));
  EXPECT_TRUE(table.Dispatch({"click", &other, -1}));
  EXPECT_TRUE(table.Dispatch({"link", &install, 1}));
  EXPECT_FALSE(table.Dispatch({"itemselect", &install, 0}));
  EXPECT_EQ(seen, (std::vector<std::string>{"install", "any:", "link1"}));
}

}  // namespace
