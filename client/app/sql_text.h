// Putting typed values into SQL text literals.
#pragma once

#include <string>
#include <string_view>

// The value with every apostrophe doubled, ready to stand between
// apostrophes in a statement: a typed "O'Brien" can then neither end the
// literal early nor change the statement.
std::string SqlText(std::string_view value);

// The value as a complete text literal: "'" + SqlText(value) + "'".
std::string SqlQuote(std::string_view value);
