#include "platform/filetime.h"

namespace platform {
namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian), after
// the well-known algorithm by H. Hinnant.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<std::int64_t>(yoe) + era * 400 + (*m <= 2);
}

// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochDays = kUnixEpochSeconds / 86400;

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

int DayOfWeek(int year, int month, int day) {
  std::int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  // 1970-01-01 was a Thursday.
  return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

bool IsValidSystemTime(const SystemTime& st) {
  return st.wYear >= 1601 && st.wYear <= 30827 && st.wMonth >= 1 && st.wMonth <= 12 && st.wDay >= 1 &&
         st.wDay <= DaysInMonth(st.wYear, st.wMonth) && st.wHour <= 23 && st.wMinute <= 59 && st.wSecond <= 59 &&
         st.wMilliseconds <= 999;
}

bool SystemTimeToFileTime(const SystemTime& st, FileTime* out) {
  if (!IsValidSystemTime(st)) return false;
  std::int64_t days = DaysFromCivil(st.wYear, st.wMonth, st.wDay) + kEpochDays;
  std::uint64_t ticks = static_cast<std::uint64_t>(days) * kTicksPerDay +
                        (static_cast<std::uint64_t>(st.wHour) * 3600 + st.wMinute * 60u + st.wSecond) * kTicksPerSecond +
                        static_cast<std::uint64_t>(st.wMilliseconds) * kTicksPerMillisecond;
  *out = FromTicks(ticks);
  return true;
}

bool FileTimeToSystemTime(FileTime ft, SystemTime* out) {
  std::uint64_t ticks = ToTicks(ft);
  if (ticks >> 63) return false;
  std::int64_t days = static_cast<std::int64_t>(ticks / kTicksPerDay);
  std::uint64_t rest = ticks % kTicksPerDay;
  std::int64_t y;
  unsigned m, d;
  CivilFromDays(days - kEpochDays, &y, &m, &d);
  SystemTime st;
  st.wYear = static_cast<std::uint16_t>(y);
  st.wMonth = static_cast<std::uint16_t>(m);
  st.wDay = static_cast<std::uint16_t>(d);
  st.wDayOfWeek = static_cast<std::uint16_t>(((days % 7) + 1) % 7);  // 1601-01-01 was a Monday
  std::uint64_t secs = rest / kTicksPerSecond;
  st.wHour = static_cast<std::uint16_t>(secs / 3600);
  st.wMinute = static_cast<std::uint16_t>(secs / 60 % 60);
  st.wSecond = static_cast<std::uint16_t>(secs % 60);
  st.wMilliseconds = static_cast<std::uint16_t>(rest % kTicksPerSecond / kTicksPerMillisecond);
  *out = st;
  return true;
}

bool UnixToFileTime(const struct timespec& ts, FileTime* out) {
  std::int64_t secs = static_cast<std::int64_t>(ts.tv_sec) + kUnixEpochSeconds;
  if (secs < 0 || ts.tv_nsec < 0 || ts.tv_nsec >= 1'000'000'000) return false;
  if (static_cast<std::uint64_t>(secs) > (UINT64_MAX >> 1) / kTicksPerSecond) return false;
  *out = FromTicks(static_cast<std::uint64_t>(secs) * kTicksPerSecond + static_cast<std::uint64_t>(ts.tv_nsec) / 100);
  return true;
}

struct timespec FileTimeToUnix(FileTime ft) {
  std::uint64_t ticks = ToTicks(ft);
  struct timespec ts {};
  ts.tv_sec = static_cast<time_t>(static_cast<std::int64_t>(ticks / kTicksPerSecond) - kUnixEpochSeconds);
  ts.tv_nsec = static_cast<long>(ticks % kTicksPerSecond * 100);
  return ts;
}

bool UtcToLocal(FileTime utc, FileTime* local) {
  struct timespec ts = FileTimeToUnix(utc);
  struct tm tm {};
  if (!localtime_r(&ts.tv_sec, &tm)) return false;
  std::int64_t ticks = static_cast<std::int64_t>(ToTicks(utc)) + static_cast<std::int64_t>(tm.tm_gmtoff) * 10'000'000;
  if (ticks < 0) return false;
  *local = FromTicks(static_cast<std::uint64_t>(ticks));
  return true;
}

bool LocalToUtc(FileTime local, FileTime* utc) {
  SystemTime st;
  if (!FileTimeToSystemTime(local, &st)) return false;
  struct tm tm {};
  tm.tm_year = st.wYear - 1900;
  tm.tm_mon = st.wMonth - 1;
  tm.tm_mday = st.wDay;
  tm.tm_hour = st.wHour;
  tm.tm_min = st.wMinute;
  tm.tm_sec = st.wSecond;
  tm.tm_isdst = -1;
  time_t t = mktime(&tm);
  if (t == static_cast<time_t>(-1) && !(tm.tm_year == 69 && tm.tm_mon == 11 && tm.tm_mday == 31)) return false;
  struct timespec ts {};
  ts.tv_sec = t;
  ts.tv_nsec = static_cast<long>(ToTicks(local) % kTicksPerSecond * 100);
  return UnixToFileTime(ts, utc);
}

}  // namespace platform
