#include "platform/clock.h"

#include <time.h>

namespace platform {

FileTime SystemClock::UtcNow() const {
  struct timespec ts {};
  clock_gettime(CLOCK_REALTIME, &ts);
  FileTime ft;
  UnixToFileTime(ts, &ft);
  return ft;
}

SystemTime SystemClock::LocalNow() const {
  FileTime local;
  SystemTime st;
  if (!UtcToLocal(UtcNow(), &local) || !FileTimeToSystemTime(local, &st)) FileTimeToSystemTime(UtcNow(), &st);
  return st;
}

std::uint64_t SystemClock::TickCount() const {
  struct timespec ts {};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000 + static_cast<std::uint64_t>(ts.tv_nsec) / 1'000'000;
}

ManualClock::ManualClock(FileTime utc_now, int utc_offset_minutes)
    : utc_ticks_(ToTicks(utc_now)), offset_ticks_(static_cast<std::int64_t>(utc_offset_minutes) * 60 * 10'000'000) {}

bool ManualClock::SetLocal(const SystemTime& local) {
  FileTime ft;
  if (!SystemTimeToFileTime(local, &ft)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  std::int64_t utc = static_cast<std::int64_t>(ToTicks(ft)) - offset_ticks_;
  if (utc < 0) return false;
  utc_ticks_ = static_cast<std::uint64_t>(utc);
  return true;
}

void ManualClock::SetUtc(FileTime utc) {
  std::lock_guard<std::mutex> lock(mutex_);
  utc_ticks_ = ToTicks(utc);
}

void ManualClock::SetUtcOffsetMinutes(int minutes) {
  std::lock_guard<std::mutex> lock(mutex_);
  offset_ticks_ = static_cast<std::int64_t>(minutes) * 60 * 10'000'000;
}

void ManualClock::AdvanceMilliseconds(std::uint64_t ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  utc_ticks_ += ms * kTicksPerMillisecond;
  tick_ms_ += ms;
}

FileTime ManualClock::UtcNow() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return FromTicks(utc_ticks_);
}

SystemTime ManualClock::LocalNow() const {
  std::int64_t local;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    local = static_cast<std::int64_t>(utc_ticks_) + offset_ticks_;
  }
  SystemTime st;
  FileTimeToSystemTime(FromTicks(static_cast<std::uint64_t>(local < 0 ? 0 : local)), &st);
  return st;
}

std::uint64_t ManualClock::TickCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tick_ms_;
}

}  // namespace platform
