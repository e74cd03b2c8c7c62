#include "provider/sql/functions.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <initializer_list>
#include <stdexcept>
#include <vector>

#include "provider/sql/engine.h"

namespace provider {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (!IsDigit(c)) return false;
  return !s.empty();
}

int Num(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

int DaysIn(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

bool Valid(const DateTime& d) {
  return d.year >= 1 && d.year <= 9999 && d.month >= 1 && d.month <= 12 && d.day >= 1 &&
         d.day <= DaysIn(d.year, d.month) && d.hour >= 0 && d.hour <= 23 && d.minute >= 0 && d.minute <= 59 &&
         d.second >= 0 && d.second <= 59 && d.millisecond >= 0 && d.millisecond <= 999;
}

// "hh:mm[:ss[.fff]]"
bool ParseTime(std::string_view s, DateTime& d) {
  if (s.size() < 5 || !AllDigits(s.substr(0, 2)) || s[2] != ':' || !AllDigits(s.substr(3, 2))) return false;
  d.hour = Num(s.substr(0, 2));
  d.minute = Num(s.substr(3, 2));
  s.remove_prefix(5);
  if (s.empty()) return true;
  if (s.size() < 3 || s[0] != ':' || !AllDigits(s.substr(1, 2))) return false;
  d.second = Num(s.substr(1, 2));
  s.remove_prefix(3);
  if (s.empty()) return true;
  if ((s[0] != '.' && s[0] != ':') || s.size() < 2 || s.size() > 8 || !AllDigits(s.substr(1))) return false;
  std::string frac(s.substr(1));
  frac.resize(3, '0');
  d.millisecond = Num(frac);
  return true;
}

std::string Two(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v % 100);
  return b;
}
std::string Four(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%04d", v);
  return b;
}
std::string Three(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%03d", v);
  return b;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, DateTime& dt) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  dt.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  dt.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  dt.year = static_cast<int>(yoe + era * 400 + (dt.month <= 2));
}

long long FloorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

constexpr long long kMsPerDay = 86400000;

long long TotalMs(const DateTime& d) {
  return DaysFromCivil(d.year, d.month, d.day) * kMsPerDay + d.hour * 3600000LL + d.minute * 60000LL +
         d.second * 1000LL + d.millisecond;
}

enum class Part { kYear, kQuarter, kMonth, kDay, kWeek, kHour, kMinute, kSecond, kMs, kUnknown };

Part ParsePart(std::string_view p) {
  std::string l(p);
  for (char& c : l) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  auto any = [&](std::initializer_list<const char*> names) {
    for (const char* n : names)
      if (l == n) return true;
    return false;
  };
  if (any({"year", "yy", "yyyy"})) return Part::kYear;
  if (any({"quarter", "qq", "q"})) return Part::kQuarter;
  if (any({"month", "mm", "m"})) return Part::kMonth;
  if (any({"day", "dd", "d", "dayofyear", "dy", "y", "weekday", "dw", "w"})) return Part::kDay;
  if (any({"week", "wk", "ww"})) return Part::kWeek;
  if (any({"hour", "hh"})) return Part::kHour;
  if (any({"minute", "mi", "n"})) return Part::kMinute;
  if (any({"second", "ss", "s"})) return Part::kSecond;
  if (any({"millisecond", "ms"})) return Part::kMs;
  return Part::kUnknown;
}

}  // namespace

std::optional<DateTime> DateAdd(std::string_view part, long long n, const DateTime& dt) {
  const Part p = ParsePart(part);
  constexpr long long kMaxMonths = 12LL * 10000;
  DateTime r = dt;
  if (p == Part::kYear || p == Part::kQuarter || p == Part::kMonth) {
    const long long per = p == Part::kYear ? 12 : p == Part::kQuarter ? 3 : 1;
    if (n > kMaxMonths || n < -kMaxMonths) return std::nullopt;
    const long long months = dt.year * 12LL + (dt.month - 1) + n * per;
    if (months < 12 || months >= 12LL * 10000) return std::nullopt;
    r.year = static_cast<int>(months / 12);
    r.month = static_cast<int>(months % 12) + 1;
    r.day = std::min(dt.day, DaysIn(r.year, r.month));
    return r;
  }
  long long unit = 0;
  switch (p) {
    case Part::kDay: unit = kMsPerDay; break;
    case Part::kWeek: unit = 7 * kMsPerDay; break;
    case Part::kHour: unit = 3600000; break;
    case Part::kMinute: unit = 60000; break;
    case Part::kSecond: unit = 1000; break;
    case Part::kMs: unit = 1; break;
    default: return std::nullopt;
  }
  constexpr long long kSpan = 3700000LL * kMsPerDay;  // more than 10000 years
  if (n > kSpan / unit || n < -kSpan / unit) return std::nullopt;
  const long long total = TotalMs(dt) + n * unit;
  const long long days = FloorDiv(total, kMsPerDay);
  long long rest = total - days * kMsPerDay;
  CivilFromDays(days, r);
  r.hour = static_cast<int>(rest / 3600000);
  rest %= 3600000;
  r.minute = static_cast<int>(rest / 60000);
  rest %= 60000;
  r.second = static_cast<int>(rest / 1000);
  r.millisecond = static_cast<int>(rest % 1000);
  if (r.year < 1 || r.year > 9999) return std::nullopt;
  return r;
}

std::optional<long long> DateDiff(std::string_view part, const DateTime& a, const DateTime& b) {
  const long long da = DaysFromCivil(a.year, a.month, a.day);
  const long long db = DaysFromCivil(b.year, b.month, b.day);
  switch (ParsePart(part)) {
    case Part::kYear: return static_cast<long long>(b.year) - a.year;
    case Part::kQuarter: return (b.year * 4LL + (b.month - 1) / 3) - (a.year * 4LL + (a.month - 1) / 3);
    case Part::kMonth: return (b.year * 12LL + b.month) - (a.year * 12LL + a.month);
    case Part::kDay: return db - da;
    case Part::kWeek: return FloorDiv(db + 4, 7) - FloorDiv(da + 4, 7);  // 1970-01-04 was a Sunday
    case Part::kHour: return FloorDiv(TotalMs(b), 3600000) - FloorDiv(TotalMs(a), 3600000);
    case Part::kMinute: return FloorDiv(TotalMs(b), 60000) - FloorDiv(TotalMs(a), 60000);
    case Part::kSecond: return FloorDiv(TotalMs(b), 1000) - FloorDiv(TotalMs(a), 1000);
    case Part::kMs: return TotalMs(b) - TotalMs(a);
    default: return std::nullopt;
  }
}

std::optional<DateTime> ParseDateTime(std::string_view text) {
  std::string_view s = Trim(text);
  DateTime d;
  if (s.size() >= 10 && AllDigits(s.substr(0, 4)) && (s[4] == '-' || s[4] == '/' || s[4] == '.') &&
      AllDigits(s.substr(5, 2)) && s[7] == s[4] && AllDigits(s.substr(8, 2))) {
    d.year = Num(s.substr(0, 4));
    d.month = Num(s.substr(5, 2));
    d.day = Num(s.substr(8, 2));
    s.remove_prefix(10);
    if (!s.empty()) {
      if (s[0] != ' ' && s[0] != 'T') return std::nullopt;
      if (!ParseTime(s.substr(1), d)) return std::nullopt;
    }
  } else if (AllDigits(s) && (s.size() == 8 || s.size() == 14 || s.size() == 17)) {
    d.year = Num(s.substr(0, 4));
    d.month = Num(s.substr(4, 2));
    d.day = Num(s.substr(6, 2));
    if (s.size() >= 14) {
      d.hour = Num(s.substr(8, 2));
      d.minute = Num(s.substr(10, 2));
      d.second = Num(s.substr(12, 2));
    }
    if (s.size() == 17) d.millisecond = Num(s.substr(14, 3));
  } else {
    return std::nullopt;
  }
  if (!Valid(d)) return std::nullopt;
  return d;
}

std::optional<std::string> FormatDateStyle(const DateTime& d, int style) {
  const std::string yyyy = Four(d.year), yy = Two(d.year), mm = Two(d.month), dd = Two(d.day);
  const std::string time = Two(d.hour) + ":" + Two(d.minute) + ":" + Two(d.second);
  switch (style) {
    case 0:
    case 100: {
      static constexpr const char* kMon[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
      const int h12 = d.hour % 12 == 0 ? 12 : d.hour % 12;
      char b[40];
      std::snprintf(b, sizeof b, "%s %2d %04d %2d:%02d%s", kMon[d.month - 1], d.day, d.year, h12, d.minute,
                    d.hour < 12 ? "AM" : "PM");
      return std::string(b);
    }
    case 1: return mm + "/" + dd + "/" + yy;
    case 101: return mm + "/" + dd + "/" + yyyy;
    case 2: return yy + "." + mm + "." + dd;
    case 102: return yyyy + "." + mm + "." + dd;
    case 3: return dd + "/" + mm + "/" + yy;
    case 103: return dd + "/" + mm + "/" + yyyy;
    case 4: return dd + "." + mm + "." + yy;
    case 104: return dd + "." + mm + "." + yyyy;
    case 5: return dd + "-" + mm + "-" + yy;
    case 105: return dd + "-" + mm + "-" + yyyy;
    case 8:
    case 108: return time;
    case 10: return mm + "-" + dd + "-" + yy;
    case 110: return mm + "-" + dd + "-" + yyyy;
    case 11: return yy + "/" + mm + "/" + dd;
    case 111: return yyyy + "/" + mm + "/" + dd;
    case 12: return yy + mm + dd;
    case 112: return yyyy + mm + dd;
    case 14:
    case 114: return time + ":" + Three(d.millisecond);
    case 20:
    case 120: return yyyy + "-" + mm + "-" + dd + " " + time;
    case 21:
    case 25:
    case 121: return yyyy + "-" + mm + "-" + dd + " " + time + "." + Three(d.millisecond);
    case 23: return yyyy + "-" + mm + "-" + dd;
    case 126: return yyyy + "-" + mm + "-" + dd + "T" + time + "." + Three(d.millisecond);
    default: return std::nullopt;
  }
}

std::string FormatTelephone(std::string_view text) {
  std::string digits;
  for (char c : text)
    if (IsDigit(c)) digits += c;
  const std::size_t n = digits.size();
  if ((n != 9 && n != 10 && n != 11) || digits.compare(0, 2, "00") == 0) return digits;
  std::size_t first = 3, second = 4;
  if (n == 9) {
    first = 2;
    second = 3;
  } else if (n == 10) {
    first = digits.compare(0, 2, "02") == 0 ? 2 : 3;
    second = first == 2 ? 4 : 3;
  }
  return digits.substr(0, first) + "-" + digits.substr(first, second) + "-" + digits.substr(first + second);
}

std::string FormatStoredDate(std::string_view text) {
  if (text.size() != 8 || !AllDigits(text)) return std::string(text);
  return std::string(text.substr(0, 4)) + "-" + std::string(text.substr(4, 2)) + "-" + std::string(text.substr(6, 2));
}

std::string FormatStoredTime(std::string_view text) {
  if ((text.size() != 6 && text.size() != 4) || !AllDigits(text)) return std::string(text);
  std::string out = std::string(text.substr(0, 2)) + ":" + std::string(text.substr(2, 2));
  if (text.size() == 6) out += ":" + std::string(text.substr(4, 2));
  return out;
}

std::optional<std::string> FormatComma(std::string_view number, long long width) {
  if (width < 0 || width > kMaxCommaWidth) return std::nullopt;
  const std::string_view t = Trim(number);
  std::string_view s = t;
  std::string sign;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    if (s[0] == '-') sign = "-";
    s.remove_prefix(1);
  }
  const std::size_t dot = s.find('.');
  const std::string_view whole = s.substr(0, dot);
  const std::string_view frac = dot == std::string_view::npos ? std::string_view() : s.substr(dot);
  std::string out;
  if (!AllDigits(whole) || (frac.size() > 1 && !AllDigits(frac.substr(1)))) {
    out.assign(t);  // not a number: as it stands
  } else {
    for (std::size_t i = 0; i < whole.size(); ++i) {
      if (i > 0 && (whole.size() - i) % 3 == 0) out += ',';
      out += whole[i];
    }
    out = sign + out + std::string(frac);
  }
  if (static_cast<long long>(out.size()) < width) out.insert(0, static_cast<std::size_t>(width) - out.size(), ' ');
  return out;
}

bool RegisterServiceFunctions(Engine& engine, std::string* error) {
  using Args = std::vector<std::optional<std::string>>;
  auto unary = [](std::string (*f)(std::string_view)) {
    return [f](const Args& a) -> std::optional<std::string> {
      if (!a[0]) return std::nullopt;
      return f(*a[0]);
    };
  };
  return engine.RegisterFunction("F_FMT_TEL", 1, unary(FormatTelephone), error) &&
         engine.RegisterFunction("F_FMT_DATE", 1, unary(FormatStoredDate), error) &&
         engine.RegisterFunction("F_FMT_TIME", 1, unary(FormatStoredTime), error) &&
         engine.RegisterFunction(
             "F_COMMA", 2,
             [](const Args& a) -> std::optional<std::string> {
               if (!a[0]) return std::nullopt;
               long long width = 0;
               if (a[1]) {
                 try {
                   width = std::stoll(*a[1]);
                 } catch (const std::exception&) {
                   throw std::runtime_error("F_COMMA: width '" + *a[1] + "' is not a number");
                 }
               }
               std::optional<std::string> r = FormatComma(*a[0], width);
               if (!r)
                 throw std::runtime_error("F_COMMA: width " + std::to_string(width) + " is outside 0.." +
                                          std::to_string(kMaxCommaWidth));
               return r;
             },
             error);
}

}  // namespace provider
