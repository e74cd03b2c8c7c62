// Windows-style time holders and their conversions.
//
// SystemTime is a broken-down calendar time (the fields of SYSTEMTIME);
// whether it is local or UTC is up to the holder. FileTime counts 100 ns
// ticks since 1601-01-01 00:00:00 UTC (in local-time use, since that moment
// of the local calendar), split into two unsigned 32-bit halves, low first,
// as it travels on the wire.
#pragma once

#include <cstdint>
#include <ctime>

namespace platform {

struct SystemTime {
  std::uint16_t wYear = 0;
  std::uint16_t wMonth = 0;      // 1..12
  std::uint16_t wDayOfWeek = 0;  // 0 Sunday .. 6 Saturday
  std::uint16_t wDay = 0;        // 1..31
  std::uint16_t wHour = 0;
  std::uint16_t wMinute = 0;
  std::uint16_t wSecond = 0;
  std::uint16_t wMilliseconds = 0;
  friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

struct FileTime {
  std::uint32_t dwLowDateTime = 0;
  std::uint32_t dwHighDateTime = 0;
  friend bool operator==(const FileTime&, const FileTime&) = default;
};

inline constexpr std::uint64_t kTicksPerSecond = 10'000'000;
inline constexpr std::uint64_t kTicksPerMillisecond = 10'000;
inline constexpr std::uint64_t kTicksPerDay = 86'400 * kTicksPerSecond;
// Seconds from 1601-01-01 to 1970-01-01.
inline constexpr std::int64_t kUnixEpochSeconds = 11'644'473'600;

inline std::uint64_t ToTicks(FileTime ft) {
  return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
inline FileTime FromTicks(std::uint64_t ticks) {
  return FileTime{static_cast<std::uint32_t>(ticks & 0xFFFFFFFFu), static_cast<std::uint32_t>(ticks >> 32)};
}

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 0 for a month outside 1..12
// Day of the week (0 Sunday) of a date of the proleptic Gregorian calendar.
int DayOfWeek(int year, int month, int day);

// True when the fields form a real date and time from year 1601 to 30827
// (wDayOfWeek is not checked, as Windows ignores it).
bool IsValidSystemTime(const SystemTime& st);

// SystemTimeToFileTime: false (and *out untouched) for an invalid holder.
bool SystemTimeToFileTime(const SystemTime& st, FileTime* out);
// FileTimeToSystemTime: false for ticks with the high bit set (beyond
// 30828-09-14, as Windows).
bool FileTimeToSystemTime(FileTime ft, SystemTime* out);

// POSIX time (seconds and nanoseconds since 1970, UTC) and FileTime. The
// conversion to FileTime is false for moments before 1601; the way back
// keeps 100 ns precision.
bool UnixToFileTime(const struct timespec& ts, FileTime* out);
struct timespec FileTimeToUnix(FileTime ft);

// Local time by the zone rules of the process (TZ), for a UTC FileTime and
// back (FileTimeToLocalFileTime / LocalFileTimeToFileTime).
bool UtcToLocal(FileTime utc, FileTime* local);
bool LocalToUtc(FileTime local, FileTime* utc);

}  // namespace platform
