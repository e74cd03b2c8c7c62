#include "client/app/sql_text.h"

#include <gtest/gtest.h>

namespace {

TEST(SqlText, DoublesEveryApostrophe) {
  struct {
    const char* in;
    const char* text;
    const char* quoted;
  } cases[] = {
      {"", "", "''"},
      {"plain 홍길동", "plain 홍길동", "'plain 홍길동'"},
      {"O'Brien", "O''Brien", "'O''Brien'"},
      {"'", "''", "''''"},
      {"it's ''x''", "it''s ''''x''''", "'it''s ''''x'''''"},
      {"x'; delete from T --", "x''; delete from T --", "'x''; delete from T --'"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SqlText(c.in), c.text) << c.in;
    EXPECT_EQ(SqlQuote(c.in), c.quoted) << c.in;
  }
}

}  // namespace
