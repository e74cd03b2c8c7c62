// Digit extraction, telephone-number formatting and code texts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// At most this many digits are kept by GetDigits and StripNonDigits; the
// rest are dropped (no telephone number comes near it).
inline constexpr std::size_t kMaxDigits = 80;

// A new text holding only the digits of the source.
std::string GetDigits(std::string_view text);
// Removes every non-digit from the text, in place.
void StripNonDigits(std::string& text);

// Rewrites the text as a dashed telephone number and returns 1: 9 digits
// 2-3-4, 10 digits starting with "02" 2-4-4, other 10 digits 3-3-4,
// 11 digits 3-4-4. Returns 0, leaving only the digits in the text, for
// another digit count or digits starting with "00".
int FormatTelNo(std::string& text);

// The code of a "code.name" text: the part before the first '.'; an empty
// text when there is no '.'.
std::string GetCode(std::string_view code_and_name);

// The code of the service drop-down entry that stands for all services.
inline constexpr long kAllServicesCode = 99999999;
