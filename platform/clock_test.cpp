#include "platform/clock.h"

#include <gtest/gtest.h>

#include "platform/test_util.h"

namespace {

using platform::FileTime;
using platform::SystemTime;
using platform::testing::St;

TEST(Clock, ManualClockIsSetAndAdvanced) {
  platform::ManualClock clock({}, 540);
  ASSERT_TRUE(clock.SetLocal(St(2024, 12, 31, 23, 59, 59, 500)));
  SystemTime utc;
  ASSERT_TRUE(platform::FileTimeToSystemTime(clock.UtcNow(), &utc));
  EXPECT_EQ(utc.wHour, 14);
  clock.AdvanceMilliseconds(600);
  SystemTime st = clock.LocalNow();
  EXPECT_EQ(st, (SystemTime{2025, 1, 3, 1, 0, 0, 0, 100}));
  EXPECT_EQ(clock.TickCount(), 600u);
  EXPECT_FALSE(clock.SetLocal(St(2025, 2, 30)));
}

TEST(Clock, SystemClockAgreesWithItself) {
  platform::SystemClock clock;
  std::uint64_t t1 = clock.TickCount();
  FileTime now = clock.UtcNow();
  EXPECT_GE(clock.TickCount(), t1);
  SystemTime st;
  ASSERT_TRUE(platform::FileTimeToSystemTime(now, &st));
  EXPECT_GE(st.wYear, 2024);
  EXPECT_TRUE(platform::IsValidSystemTime(clock.LocalNow()));
}

}  // namespace
