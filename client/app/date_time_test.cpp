#include "client/app/date_time.h"

#include <gtest/gtest.h>

#include "platform/clock.h"

namespace {

CDateTime At(const char* date, const char* time) {
  CDateTime t;
  EXPECT_EQ(t.SetDate(date), 1) << date;
  EXPECT_EQ(t.SetTime(time), 1) << time;
  return t;
}

std::string Stamp(const CDateTime& t) { return t.GetDate("-") + " " + t.GetTimeMs(); }

TEST(CDateTime, Formatters) {
  CDateTime t = At("2024-03-05", "07:08:09.012");
  EXPECT_EQ(t.GetDate("/"), "2024/03/05");
  EXPECT_EQ(t.GetDate(""), "20240305");
  EXPECT_EQ(t.GetDate(), "20240305");
  EXPECT_EQ(t.GetDate(" - "), "2024 - 03 - 05");
  EXPECT_EQ(t.GetTime(), "07:08:09");
  EXPECT_EQ(t.GetTimeMs(), "07:08:09:012");
  EXPECT_EQ(t.GetHHMM(), "0708");
  EXPECT_EQ(t.GetHHMMSS(), "070809");
  EXPECT_EQ(t.GetDayOfWeek(), 2);  // a Tuesday
}

TEST(CDateTime, SetDateTakesFixedPositions) {
  CDateTime t = At("2000-01-01", "12:34:56");
  EXPECT_EQ(t.SetDate("2024/02/29 23:59:59.000"), 1);  // longer text, other separators
  EXPECT_EQ(Stamp(t), "2024-02-29 12:34:56:000");
  const char* bad[] = {"2023-02-29", "2024-13-01", "2024-00-10", "2024-04-31", "2024-1-1", "24-01-01", "",
                       "abcd-ef-gh", "1600-12-31"};
  for (const char* b : bad) {
    EXPECT_EQ(t.SetDate(b), 0) << b;
    EXPECT_EQ(Stamp(t), "2024-02-29 12:34:56:000") << b;
  }
}

TEST(CDateTime, SetTimeNeedsHourAndMinute) {
  CDateTime t = At("2024-01-01", "00:00:00");
  struct {
    const char* text;
    int result;
    const char* time;
  } cases[] = {
      {"9:5", 1, "09:05:00:000"},   {"23:59", 1, "23:59:00:000"}, {"23:59:59", 1, "23:59:59:000"},
      {"10:20:30.5", 1, "10:20:30:500"}, {"12", 0, nullptr},      {"", 0, nullptr},
      {"24:00", 0, nullptr},        {"12:60", 0, nullptr},        {"12:30:60", 0, nullptr},
      {"1:2:3:4", 0, nullptr},      {"a:b", 0, nullptr},          {"12:", 0, nullptr},
      {"123:00", 0, nullptr},       {"12:30:4x", 0, nullptr},
  };
  for (const auto& c : cases) {
    CDateTime before = t;
    EXPECT_EQ(t.SetTime(c.text), c.result) << c.text;
    EXPECT_EQ(t.GetTimeMs(), c.time ? c.time : before.GetTimeMs()) << c.text;
  }
}

TEST(CDateTime, ArithmeticRollsOverMonthsYearsAndLeapDays) {
  struct {
    const char* date;
    const char* time;
    long long hours;
    long long days;
    const char* expected;
  } cases[] = {
      {"2024-01-31", "12:00:00", 0, 1, "2024-02-01 12:00:00:000"},
      {"2024-02-28", "23:30:00", 1, 0, "2024-02-29 00:30:00:000"},   // leap year
      {"2023-02-28", "23:30:00", 1, 0, "2023-03-01 00:30:00:000"},   // common year
      {"1900-02-28", "00:00:00", 0, 1, "1900-03-01 00:00:00:000"},   // century, not leap
      {"2000-02-28", "00:00:00", 0, 1, "2000-02-29 00:00:00:000"},   // 400th year, leap
      {"2024-12-31", "23:59:59", 1, 0, "2025-01-01 00:59:59:000"},
      {"2025-01-01", "00:00:00", -1, 0, "2024-12-31 23:00:00:000"},
      {"2024-03-01", "00:00:00", 0, -1, "2024-02-29 00:00:00:000"},
      {"2024-03-31", "00:00:00", 0, -31, "2024-02-29 00:00:00:000"},
      {"2024-01-01", "00:00:00", 0, 366, "2025-01-01 00:00:00:000"},
      {"2024-01-01", "00:00:00", -24 * 366, 0, "2022-12-31 00:00:00:000"},
      {"2024-06-15", "10:00:00", 24 * 60, 0, "2024-08-14 10:00:00:000"},
  };
  for (const auto& c : cases) {
    CDateTime t = At(c.date, c.time);
    if (c.hours) {
      EXPECT_TRUE(t.AddHours(c.hours));
    }
    if (c.days) {
      EXPECT_TRUE(t.AddDays(c.days));
    }
    EXPECT_EQ(Stamp(t), c.expected) << c.date << " " << c.hours << "h " << c.days << "d";
  }
}

TEST(CDateTime, ArithmeticKeepsDayOfWeekAndRefusesWhatItCannotHold) {
  CDateTime t = At("2024-02-28", "10:00:00");
  ASSERT_TRUE(t.AddDays(2));
  EXPECT_EQ(t.GetDayOfWeek(), 5);  // 2024-03-01 was a Friday
  CDateTime low = At("1601-01-01", "00:00:00");
  EXPECT_FALSE(low.AddHours(-1));
  EXPECT_EQ(Stamp(low), "1601-01-01 00:00:00:000");
  EXPECT_FALSE(low.AddDays(1LL << 40));
  CDateTime empty;
  EXPECT_FALSE(empty.AddDays(1));
}

TEST(CDateTime, NowComesFromTheClock) {
  platform::ManualClock clock({}, 540);
  platform::SystemTime local{};
  local.wYear = 2013;
  local.wMonth = 3;
  local.wDay = 9;
  local.wHour = 12;
  local.wMinute = 56;
  local.wSecond = 4;
  ASSERT_TRUE(clock.SetLocal(local));
  CDateTime t = CDateTime::Now(clock);
  EXPECT_EQ(Stamp(t), "2013-03-09 12:56:04:000");
  clock.AdvanceMilliseconds(86'400'000);
  t.SetNow(clock);
  EXPECT_EQ(t.GetDate(), "20130310");
  CDateTime copy = t;
  EXPECT_EQ(copy.GetSystemTime(), t.GetSystemTime());
}

}  // namespace
