// The clock of the program. Everything that asks for the time takes a Clock
// so that tests can set it: SystemClock reads the machine's clocks,
// ManualClock holds a moment the test sets and moves.
#pragma once

#include <cstdint>
#include <mutex>

#include "platform/filetime.h"

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Now, UTC (GetSystemTimeAsFileTime).
  virtual FileTime UtcNow() const = 0;
  // Now in local time, broken down (GetLocalTime).
  virtual SystemTime LocalNow() const = 0;
  // Milliseconds from an arbitrary start, never going back (GetTickCount,
  // without its wrap after 49 days).
  virtual std::uint64_t TickCount() const = 0;
};

class SystemClock final : public Clock {
 public:
  FileTime UtcNow() const override;
  SystemTime LocalNow() const override;
  std::uint64_t TickCount() const override;
};

// A clock that stands still until told. Local time is UTC plus a fixed
// offset, so tests do not depend on the machine's time zone. Thread-safe.
class ManualClock final : public Clock {
 public:
  // Starts at the given UTC moment with the given local offset in minutes
  // (540 for Korea).
  explicit ManualClock(FileTime utc_now = {}, int utc_offset_minutes = 0);

  // Sets now from a local broken-down time; false when it is invalid.
  bool SetLocal(const SystemTime& local);
  void SetUtc(FileTime utc);
  void SetUtcOffsetMinutes(int minutes);
  // Moves now and the tick count forward.
  void AdvanceMilliseconds(std::uint64_t ms);

  FileTime UtcNow() const override;
  SystemTime LocalNow() const override;
  std::uint64_t TickCount() const override;

 private:
  mutable std::mutex mutex_;
  std::uint64_t utc_ticks_;
  std::int64_t offset_ticks_;
  std::uint64_t tick_ms_ = 0;
};

}  // namespace platform
