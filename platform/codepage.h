// Conversion between UTF-8 (inside the program) and code page 949 (the RPC
// wire, the files users exchange, byte-length rules).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// UTF-8 -> code page 949. A character that has no CP949 form becomes '?'.
std::string Utf8ToCp949(std::string_view utf8);

// Code page 949 -> UTF-8. A malformed byte sequence becomes U+FFFD.
std::string Cp949ToUtf8(std::string_view cp949);

// Length in code page 949 bytes of a UTF-8 text (a Hangul syllable counts 2).
std::size_t Cp949Length(std::string_view utf8);

// The longest prefix of a UTF-8 text, cut at a whole character, whose code
// page 949 form has at most max_bytes bytes (for fixed-width fields whose
// widths count 949 bytes).
std::string Cp949Truncate(std::string_view utf8, std::size_t max_bytes);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

}  // namespace platform
