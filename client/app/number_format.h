// Number texts for display.
#pragma once

#include <string>
#include <string_view>

// The number text with a comma between each group of three digits counted
// from the right (1234567 gives 1,234,567). Blanks at both ends are trimmed
// first; a leading '-' or '+' is kept. Only the leading run of digits is
// grouped: anything after it (a fraction, a unit) follows unchanged.
std::string FormatThousands(std::string_view number_text);
std::string FormatThousands(long long number);

// Amount text with thousands separators and at most `decimals` fraction
// digits. The text is trimmed. Without a '.' after its first character the
// whole text goes through FormatThousands. Otherwise the integer part gets
// FormatThousands and the fraction is kept as it stands when it has at most
// `decimals` digits; a longer one is cut to `decimals` digits and rounded
// half up by the next digit, keeping leading zeros (0500 gives 05); a carry
// out of the fraction (995 and up, for two decimals) adds one to the
// integer part (to its magnitude: -1.995 gives -2.00). With 0 decimals the
// fraction is dropped after rounding.
std::string FormatAmount(std::string_view number_text, int decimals = 2);

// The text itself when it has n characters or fewer; else the number formed
// by its first n characters, plus 1 when the next character is a digit of 5
// or more, as "%ld". A negative n counts as 0.
std::string RoundAt(std::string_view number_text, int n);
