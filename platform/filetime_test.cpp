#include "platform/filetime.h"

#include <gtest/gtest.h>

#include "platform/test_util.h"
#include <stdlib.h>


namespace {

using platform::FileTime;
using platform::SystemTime;
using platform::testing::St;

TEST(FileTime, KnownMoments) {
  // Tick counts as published for the Windows FILETIME.
  struct {
    SystemTime st;
    std::uint64_t ticks;
    int day_of_week;
  } cases[] = {
      {St(1601, 1, 1), 0, 1},
      {St(1970, 1, 1), 116444736000000000ULL, 4},
      {St(2000, 1, 1), 125911584000000000ULL, 6},
      {St(2024, 2, 29, 12, 34, 56, 789), 133536836967890000ULL, 4},
      {St(30828, 9, 14, 2, 48, 5, 477), 0x7FFFFFFFFFFFFFFFULL / 10000 * 10000, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ticks);
    FileTime ft;
    SystemTime back;
    if (c.st.wYear <= 30827) {
      ASSERT_TRUE(platform::SystemTimeToFileTime(c.st, &ft));
      EXPECT_EQ(platform::ToTicks(ft), c.ticks);
    }
    ASSERT_TRUE(platform::FileTimeToSystemTime(platform::FromTicks(c.ticks), &back));
    SystemTime expected = c.st;
    expected.wDayOfWeek = static_cast<std::uint16_t>(c.day_of_week);
    EXPECT_EQ(back, expected);
  }
  SystemTime out;
  EXPECT_FALSE(platform::FileTimeToSystemTime(platform::FromTicks(1ULL << 63), &out));
}

TEST(FileTime, HalvesLowFirst) {
  FileTime ft = platform::FromTicks(0x0123456789ABCDEFULL);
  EXPECT_EQ(ft.dwLowDateTime, 0x89ABCDEFu);
  EXPECT_EQ(ft.dwHighDateTime, 0x01234567u);
  EXPECT_EQ(platform::ToTicks(ft), 0x0123456789ABCDEFULL);
}

TEST(FileTime, InvalidSystemTimesAreRefused) {
  const SystemTime bad[] = {St(2023, 2, 29), St(1900, 2, 29), St(2024, 13, 1), St(2024, 0, 1),
                            St(2024, 4, 31), St(1600, 12, 31), St(2024, 1, 1, 24), St(2024, 1, 1, 0, 60),
                            St(2024, 1, 1, 0, 0, 60), St(2024, 1, 1, 0, 0, 0, 1000)};
  for (const auto& st : bad) {
    FileTime ft{1, 2};
    EXPECT_FALSE(platform::SystemTimeToFileTime(st, &ft));
    EXPECT_EQ(ft, (FileTime{1, 2}));
  }
  FileTime ft;
  EXPECT_TRUE(platform::SystemTimeToFileTime(St(2000, 2, 29), &ft));
}

TEST(FileTime, RoundTripEveryDayAcrossLeapYears) {
  FileTime ft;
  ASSERT_TRUE(platform::SystemTimeToFileTime(St(1899, 12, 25, 23, 59, 59, 999), &ft));
  std::uint64_t t = platform::ToTicks(ft);
  for (int i = 0; i < 366 * 8; ++i, t += platform::kTicksPerDay * 37 + 1234567) {
    SystemTime st;
    ASSERT_TRUE(platform::FileTimeToSystemTime(platform::FromTicks(t), &st));
    FileTime back;
    ASSERT_TRUE(platform::SystemTimeToFileTime(st, &back));
    EXPECT_EQ(platform::ToTicks(back), t / platform::kTicksPerMillisecond * platform::kTicksPerMillisecond);
  }
}

TEST(FileTime, UnixConversion) {
  struct timespec ts {};
  ts.tv_sec = 946684800;  // 2000-01-01 UTC
  ts.tv_nsec = 123456789;
  FileTime ft;
  ASSERT_TRUE(platform::UnixToFileTime(ts, &ft));
  EXPECT_EQ(platform::ToTicks(ft), 125911584000000000ULL + 1234567);
  struct timespec back = platform::FileTimeToUnix(ft);
  EXPECT_EQ(back.tv_sec, 946684800);
  EXPECT_EQ(back.tv_nsec, 123456700);
  ts.tv_sec = -11644473601LL;  // one second before 1601
  ts.tv_nsec = 0;
  EXPECT_FALSE(platform::UnixToFileTime(ts, &ft));
}

TEST(FileTime, LocalTimeFollowsZoneRules) {
  const char* saved = std::getenv("TZ");
  std::string saved_tz = saved ? saved : "";
  ::setenv("TZ", "KST-9", 1);  // POSIX form: needs no zone database
  ::tzset();
  FileTime utc, local, back;
  ASSERT_TRUE(platform::SystemTimeToFileTime(St(2024, 12, 31, 20, 30), &utc));
  ASSERT_TRUE(platform::UtcToLocal(utc, &local));
  SystemTime st;
  ASSERT_TRUE(platform::FileTimeToSystemTime(local, &st));
  EXPECT_EQ(st, (SystemTime{2025, 1, 3, 1, 5, 30, 0, 0}));
  ASSERT_TRUE(platform::LocalToUtc(local, &back));
  EXPECT_EQ(back, utc);
  if (saved) ::setenv("TZ", saved_tz.c_str(), 1); else ::unsetenv("TZ");
  ::tzset();
}

}  // namespace
