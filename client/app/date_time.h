// Date and time holder with the text formatters and calendar arithmetic the
// screens use. Holds a platform::SystemTime of the local calendar; the
// arithmetic treats it as a plain calendar moment (no zone rules).
#pragma once

#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/filetime.h"

class CDateTime {
 public:
  // All fields zero (not a valid moment until set).
  CDateTime() = default;
  explicit CDateTime(const platform::SystemTime& st) : st_(st) {}
  // A holder set to the clock's local now.
  static CDateTime Now(const platform::Clock& clock);

  void SetNow(const platform::Clock& clock);
  // Year from characters 0-3, month from 5-6, day from 8-9 ("YYYY-MM-DD",
  // longer text allowed); the time of day is kept. 1 when set; 0, with the
  // holder unchanged, when the text is shorter, not digits there, or not a
  // real date.
  int SetDate(std::string_view text);
  // "HH:MM", "HH:MM:SS" or "HH:MM:SS.mmm"; the date is kept and missing
  // seconds and milliseconds become 0. 1 when set; 0, with the holder
  // unchanged, without hour and minute or with a value out of range.
  int SetTime(std::string_view text);

  std::string GetDate(std::string_view separator) const;  // "%04d%s%02d%s%02d"
  std::string GetDate() const;                            // "%04d%02d%02d"
  std::string GetTime() const;                            // "%02d:%02d:%02d"
  std::string GetTimeMs() const;                          // "%02d:%02d:%02d:%03d"
  std::string GetHHMM() const;                            // "%02d%02d"
  std::string GetHHMMSS() const;                          // "%02d%02d%02d"

  // Move the held moment by n hours or days with month and year roll-over.
  // False, with the holder unchanged, when it holds no valid moment or the
  // result leaves the years 1601 to 30827.
  bool AddHours(long long n);
  bool AddDays(long long n);

  const platform::SystemTime& GetSystemTime() const { return st_; }
  void SetSystemTime(const platform::SystemTime& st) { st_ = st; }
  bool IsValid() const { return platform::IsValidSystemTime(st_); }

  int GetYear() const { return st_.wYear; }
  int GetMonth() const { return st_.wMonth; }
  int GetDay() const { return st_.wDay; }
  int GetDayOfWeek() const { return st_.wDayOfWeek; }
  int GetHour() const { return st_.wHour; }
  int GetMinute() const { return st_.wMinute; }
  int GetSecond() const { return st_.wSecond; }
  int GetMilliseconds() const { return st_.wMilliseconds; }

 private:
  bool AddTicks(long long ticks);
  platform::SystemTime st_{};
};
