// Cell values as text, the way the workbook providers deliver every cell when
// all columns are read as text:
// - numbers with at most 15 significant digits (what Excel stores and shows),
//   in plain notation, never with an exponent or a spurious ".0":
//   1012345678 -> "1012345678", 0.1 + 0.2 -> "0.3", 1e-7 -> "0.0000001";
// - date-formatted numbers as ISO dates: "2024-01-15" when the time part is
//   zero, "13:45:00" when the date part is zero, "2024-01-15 13:45:00" for
//   both (seconds rounded); values outside 0001..9999 stay numbers;
// - booleans as "TRUE" / "FALSE", error values as their code ("#N/A").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace workbook {

// A number as text (see above).
std::string FormatNumber(double value);

// The same text straight from a number as written in a file ("1012345678",
// "-0.50"), without a round trip through double; false when the text is not
// a plain decimal of at most 15 significant digits (the caller then parses
// it and uses FormatNumber).
bool FormatNumberText(std::string_view text, std::string& out);

// A date serial (days since the epoch of the workbook's date system) as text.
// `date1904` selects the 1904 system (serial 0 = 1904-01-01); otherwise
// serial 1 = 1900-01-01 with the historic 1900-02-29 at serial 60.
std::string FormatSerialDate(double serial, bool date1904);

// True when a number format shows dates or times: the built-in formats
// 14-22, 27-36, 45-47 and 50-58, or a format code with date or time tokens
// (d m y h s outside quoted text, escapes, "General" and [colour]/[$-locale]
// blocks; [h] [m] [s] elapsed times count).
bool IsDateFormat(std::uint32_t format_id, std::string_view format_code);

// Appends the UTF-8 form of a Unicode scalar value (invalid ones become U+FFFD).
void AppendUtf8(std::string& out, std::uint32_t code_point);

// Decodes the _xHHHH_ escapes of OOXML string content (UTF-16 code units,
// surrogate pairs combined; "_x005F_" stands for the underscore itself).
std::string DecodeXmlEscapes(std::string_view text);

// "A" -> 0, "Z" -> 25, "AA" -> 26. Parses the letters at the start of a cell
// reference such as "AB12"; returns false when there are none or too many.
bool ParseColumnLetters(std::string_view ref, std::uint32_t& col, std::uint32_t& row1);

}  // namespace workbook
