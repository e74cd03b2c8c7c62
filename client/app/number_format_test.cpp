#include "client/app/number_format.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatThousands, GroupsFromTheRight) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"1234567", "1,234,567"}, {"123", "123"},         {"1234", "1,234"},   {"123456", "123,456"},
      {"-1234", "-1,234"},      {"+1234567", "+1,234,567"}, {"  98765  ", "98,765"}, {"", ""},
      {"-", "-"},               {"0", "0"},             {"1234.5678", "1,234.5678"}, {"12345원", "12,345원"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatThousands(c.in), c.out) << c.in;
  EXPECT_EQ(FormatThousands(-9876543210LL), "-9,876,543,210");
  EXPECT_EQ(FormatThousands(0LL), "0");
}

TEST(FormatAmount, TwoDecimalsRoundedHalfUp) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"1234", "1,234"},           // a whole count: separators only
      {"1234567.5", "1,234,567.5"},  // at most two digits: as it stands
      {"1234.56", "1,234.56"},
      {"1234.", "1,234."},
      {"12.0500", "12.05"},        // leading zeros kept
      {"12.0000", "12.00"},
      {"12.344", "12.34"},
      {"12.345", "12.35"},         // 5 rounds up
      {"12.349", "12.35"},
      {"12.995", "13.00"},         // carry into the integer part
      {"999.999", "1,000.00"},
      {"-1.995", "-2.00"},
      {"0.004", "0.00"},
      {" 33.3333 ", "33.33"},
      {".5", ".5"},                // '.' first: the whole text goes to FormatThousands
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatAmount(c.in, 2), c.out) << c.in;
}

TEST(FormatAmount, OtherDecimalCounts) {
  EXPECT_EQ(FormatAmount("1234.5", 0), "1,235");
  EXPECT_EQ(FormatAmount("1234.4", 0), "1,234");
  EXPECT_EQ(FormatAmount("1.23456", 3), "1.235");
  EXPECT_EQ(FormatAmount("1.9996", 3), "2.000");
}

TEST(RoundAt, KeepsShortTextsAndRoundsTheRest) {
  struct {
    const char* in;
    int n;
    const char* out;
  } cases[] = {
      {"1234", 4, "1234"}, {"12", 4, "12"},   {"12345", 4, "1235"}, {"12344", 4, "1234"},
      {"12349", 4, "1235"}, {"9999", 2, "100"}, {"00123", 3, "1"},   {"1a", 1, "1"},
      {"5", 0, "1"},        {"4", -1, "0"},
  };
  for (const auto& c : cases) EXPECT_EQ(RoundAt(c.in, c.n), c.out) << c.in << " " << c.n;
}

}  // namespace
