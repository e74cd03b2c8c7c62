#include "ui/dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace ui {
namespace {

// Runs the user-interface side until done is set.
void PumpUntil(Dispatcher& d, const std::atomic<bool>& done) {
  while (!done) {
    d.WaitForWork(std::chrono::milliseconds(20));
    d.RunPending();
  }
}

TEST(DispatcherTest, SendFromWorkerRunsOnUiThreadAndWaits) {
  Dispatcher d;
  const auto ui_id = std::this_thread::get_id();
  std::atomic<bool> done{false};
  std::vector<int> order;  // touched only on the user-interface thread
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) {
      bool ran = false;
      d.Send([&] {
        EXPECT_EQ(std::this_thread::get_id(), ui_id);
        order.push_back(i);
        ran = true;
      });
      // Send returns only after the function ran.
      EXPECT_TRUE(ran);
    }
    done = true;
  });
  PumpUntil(d, done);
  worker.join();
  ASSERT_EQ(order.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(DispatcherTest, SendOnUiThreadRunsAtOnce) {
  Dispatcher d;
  int n = 0;
  EXPECT_TRUE(d.Send([&] { ++n; }));
  EXPECT_EQ(n, 1);
  EXPECT_EQ(d.RunPending(), 0u);
}

TEST(DispatcherTest, ExceptionReachesTheSender) {
  Dispatcher d;
  std::atomic<bool> done{false};
  std::string what;
  std::thread worker([&] {
    try {
      d.Send([] { throw std::runtime_error("boom"); });
    } catch (const std::runtime_error& e) {
      what = e.what();
    }
    done = true;
  });
  PumpUntil(d, done);
  worker.join();
  EXPECT_EQ(what, "boom");
}

TEST(DispatcherTest, ShutdownReleasesAWaitingSender) {
  Dispatcher d;
  std::atomic<bool> queued{false};
  std::atomic<int> result{-1};
  d.SetWake([&] { queued = true; });
  std::thread worker([&] { result = d.Send([] {}) ? 1 : 0; });
  while (!queued) std::this_thread::yield();
  d.Shutdown();  // the task is dropped unrun
  worker.join();
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(d.Post([] {}));
}

TEST(DispatcherTest, WorkQueuedWhileRunningWaitsForTheNextRound) {
  Dispatcher d;
  int runs = 0;
  std::function<void()> again = [&] {
    ++runs;
    d.Post(again);
  };
  d.Post(again);
  EXPECT_EQ(d.RunPending(), 1u);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(d.RunPending(), 1u);
  EXPECT_EQ(runs, 2);
  d.Shutdown();
}

}  // namespace
}  // namespace ui
