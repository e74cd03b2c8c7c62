// The scalar functions of the service's schema (F_FMT_TEL, F_FMT_DATE,
// F_FMT_TIME, F_COMMA) and the date handling behind getdate()/convert.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace provider {

class Engine;

struct DateTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// Reads "YYYY-MM-DD[ hh:mm[:ss[.fff]]]" (also with 'T', '/' or '.' between
// the date parts), "YYYYMMDD" and "YYYYMMDDhhmmss[fff]". Checks the ranges of
// every field (day against the month's length). Leading/trailing blanks ok.
std::optional<DateTime> ParseDateTime(std::string_view text);

// The date in a convert() style: 0/100, 1/101, 2/102, 3/103, 4/104, 5/105,
// 8/108, 10/110, 11/111, 12/112, 14/114, 20/120, 21/121, 23, 25, 126.
// std::nullopt for any other style.
std::optional<std::string> FormatDateStyle(const DateTime& dt, int style);

// dateadd(part, n, date): parts year/yy/yyyy, quarter/qq/q, month/mm/m,
// dayofyear/dy/y, day/dd/d, weekday/dw/w, week/wk/ww, hour/hh, minute/mi/n,
// second/ss/s, millisecond/ms. Adding months keeps the day when the target
// month has it, else takes the month's last day. std::nullopt for an unknown
// part or a result outside the years 1..9999.
std::optional<DateTime> DateAdd(std::string_view part, long long n, const DateTime& dt);

// datediff(part, a, b): how many boundaries of the part lie between a and b
// (weeks start on Sunday); negative when b is before a. std::nullopt for an
// unknown part.
std::optional<long long> DateDiff(std::string_view part, const DateTime& a, const DateTime& b);

// Digits to a dashed telephone number: 9 digits 2-3-4; 10 digits starting
// with 02 2-4-4, other 10 digits 3-3-4; 11 digits 3-4-4. Any other length, or
// digits starting with 00, give the digits alone.
std::string FormatTelephone(std::string_view text);

// yyyymmdd -> yyyy-mm-dd; other texts unchanged.
std::string FormatStoredDate(std::string_view text);

// hhmmss -> hh:mm:ss, hhmm -> hh:mm; other texts unchanged.
std::string FormatStoredTime(std::string_view text);

// A number with thousands separators, right-aligned with blanks to `width`
// characters (never cut when longer). A text that is not a number is returned
// as it stands. Widths outside 0..kMaxCommaWidth are an error (std::nullopt).
inline constexpr int kMaxCommaWidth = 8000;
std::optional<std::string> FormatComma(std::string_view number, long long width);

// Registers F_FMT_TEL(x), F_FMT_DATE(x), F_FMT_TIME(x) and F_COMMA(x, width)
// on the engine (NULL in, NULL out).
bool RegisterServiceFunctions(Engine& engine, std::string* error);

}  // namespace provider
