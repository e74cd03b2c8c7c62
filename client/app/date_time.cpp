#include "client/app/date_time.h"

#include <cstdio>

namespace {

// Digits of text[pos, pos + n) as a number, or -1 when one is not a digit.
int Digits(std::string_view text, std::size_t pos, std::size_t n) {
  int v = 0;
  for (std::size_t i = pos; i < pos + n; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return -1;
    v = v * 10 + (text[i] - '0');
  }
  return v;
}

// A field of one or two digits, or -1.
int Field(std::string_view f) {
  if (f.empty() || f.size() > 2) return -1;
  return Digits(f, 0, f.size());
}

template <typename... Args>
std::string Format(const char* fmt, Args... args) {
  char buf[256];
  int n = std::snprintf(buf, sizeof buf, fmt, args...);
  return std::string(buf, n < 0 ? 0 : static_cast<std::size_t>(n));
}

constexpr long long kTicksPerHour = 3600LL * 10'000'000;

}  // namespace

CDateTime CDateTime::Now(const platform::Clock& clock) { return CDateTime(clock.LocalNow()); }

void CDateTime::SetNow(const platform::Clock& clock) { st_ = clock.LocalNow(); }

int CDateTime::SetDate(std::string_view text) {
  int y = Digits(text, 0, 4), m = Digits(text, 5, 2), d = Digits(text, 8, 2);
  if (y < 1601 || m < 1 || m > 12 || d < 1 || d > platform::DaysInMonth(y, m)) return 0;
  st_.wYear = static_cast<std::uint16_t>(y);
  st_.wMonth = static_cast<std::uint16_t>(m);
  st_.wDay = static_cast<std::uint16_t>(d);
  st_.wDayOfWeek = static_cast<std::uint16_t>(platform::DayOfWeek(y, m, d));
  return 1;
}

int CDateTime::SetTime(std::string_view text) {
  std::string_view parts[3];
  std::size_t count = 0;
  std::size_t start = 0;
  for (;;) {
    std::size_t colon = text.find(':', start);
    if (count == 3) return 0;
    parts[count++] = text.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  if (count < 2) return 0;
  int ms = 0;
  if (count == 3) {
    std::size_t dot = parts[2].find('.');
    if (dot != std::string_view::npos) {
      std::string_view frac = parts[2].substr(dot + 1);
      if (frac.empty() || frac.size() > 3) return 0;
      ms = Digits(frac, 0, frac.size());
      if (ms < 0) return 0;
      for (std::size_t i = frac.size(); i < 3; ++i) ms *= 10;
      parts[2] = parts[2].substr(0, dot);
    }
  }
  int h = Field(parts[0]), mi = Field(parts[1]), s = count == 3 ? Field(parts[2]) : 0;
  if (h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) return 0;
  st_.wHour = static_cast<std::uint16_t>(h);
  st_.wMinute = static_cast<std::uint16_t>(mi);
  st_.wSecond = static_cast<std::uint16_t>(s);
  st_.wMilliseconds = static_cast<std::uint16_t>(ms);
  return 1;
}

std::string CDateTime::GetDate(std::string_view separator) const {
  std::string sep(separator);
  return Format("%04d%s%02d%s%02d", st_.wYear, sep.c_str(), st_.wMonth, sep.c_str(), st_.wDay);
}

std::string CDateTime::GetDate() const { return Format("%04d%02d%02d", st_.wYear, st_.wMonth, st_.wDay); }

std::string CDateTime::GetTime() const { return Format("%02d:%02d:%02d", st_.wHour, st_.wMinute, st_.wSecond); }

std::string CDateTime::GetTimeMs() const {
  return Format("%02d:%02d:%02d:%03d", st_.wHour, st_.wMinute, st_.wSecond, st_.wMilliseconds);
}

std::string CDateTime::GetHHMM() const { return Format("%02d%02d", st_.wHour, st_.wMinute); }

std::string CDateTime::GetHHMMSS() const { return Format("%02d%02d%02d", st_.wHour, st_.wMinute, st_.wSecond); }

bool CDateTime::AddTicks(long long ticks) {
  platform::FileTime ft;
  if (!platform::SystemTimeToFileTime(st_, &ft)) return false;
  long long now = static_cast<long long>(platform::ToTicks(ft));
  // Keep within 1601..30827 without overflow.
  constexpr long long kMax = 0x7FFF35F4F06C7FFFLL;  // last tick of 30827-12-31
  if ((ticks > 0 && ticks > kMax - now) || (ticks < 0 && -ticks > now)) return false;
  platform::SystemTime out;
  if (!platform::FileTimeToSystemTime(platform::FromTicks(static_cast<std::uint64_t>(now + ticks)), &out)) return false;
  st_ = out;
  return true;
}

bool CDateTime::AddHours(long long n) {
  if (n > 1'000'000'000LL || n < -1'000'000'000LL) return false;
  return AddTicks(n * kTicksPerHour);
}

bool CDateTime::AddDays(long long n) {
  if (n > 100'000'000LL || n < -100'000'000LL) return false;
  return AddTicks(n * 24 * kTicksPerHour);
}
