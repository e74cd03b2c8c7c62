#include "workbook/cell_text.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace workbook {
namespace {

TEST(CellText, NumbersAsTheProviderShowsThem) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {1012345678, "1012345678"},       // a phone number stored as a number
      {821055556666, "821055556666"},
      {0, "0"},
      {-1.5, "-1.5"},
      {0.1 + 0.2, "0.3"},               // 15 significant digits, like Excel
      {1e-7, "0.0000001"},
      {1e20, "100000000000000000000"},  // never an exponent
      {123456789012345678.0, "123456789012346000"},
      {2.5e-3, "0.0025"},
      {10123456781, "10123456781"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatNumber(c.value), c.text) << c.value;
}

TEST(CellText, NumberTextAgreesWithTheDoubleRoute) {
  // The shortcut from the file's text must give what parsing and FormatNumber give.
  const char* texts[] = {"1012345678", "007", "-0", "0.0", "1.50", "-12.250", ".5", "0.000123",
                         "123456789012345", "100", "-100.0010"};
  for (const char* t : texts) {
    std::string fast;
    ASSERT_TRUE(FormatNumberText(t, fast)) << t;
    EXPECT_EQ(fast, FormatNumber(std::strtod(t, nullptr))) << t;
  }
  const char* slow[] = {"1E3", "1234567890123456", "0.1234567890123456", "abc", "", "-", ".", "1.2.3", "+1"};
  for (const char* t : slow) {
    std::string out;
    EXPECT_FALSE(FormatNumberText(t, out)) << t;
  }
}

TEST(CellText, DateSerials) {
  struct Case {
    double serial;
    bool date1904;
    const char* text;
  } cases[] = {
      {45306, false, "2024-01-15"},
      {45306.5, false, "2024-01-15 12:00:00"},
      {0.75, false, "18:00:00"},
      {1, false, "1900-01-01"},
      {59, false, "1900-02-28"},
      {60, false, "1900-02-29"},  // the 1900 system's phantom day
      {61, false, "1900-03-01"},
      {0, true, "1904-01-01"},
      {43844, true, "2024-01-15"},  // 1462 days fewer than in the 1900 system
      {45306.999999999, false, "2024-01-16"},  // rounds to the second
      {-1, false, "-1"},
      {3000000, false, "3000000"},  // beyond year 9999: the number
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSerialDate(c.serial, c.date1904), c.text) << c.serial;
}

TEST(CellText, DateFormats) {
  struct Case {
    std::uint32_t id;
    const char* code;
    bool date;
  } cases[] = {
      {14, "", true},           {22, "", true},          {31, "", true},  // built-in incl. Korean
      {0, "", false},           {2, "", false},          {49, "", false},
      {164, "General", false},  {164, "yyyy\\-mm\\-dd", true},
      {164, "[$-412]yyyy\"년\" m\"월\"", true},          {164, "0.00E+00", false},
      {164, "\"day\"0", false}, {164, "[Red]0.00", false},
      {164, "[h]:mm", true},    {164, "#,##0;[Red]-#,##0", false},
      {164, "@", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsDateFormat(c.id, c.code), c.date) << c.id << " " << c.code;
}

TEST(CellText, XmlEscapes) {
  EXPECT_EQ(DecodeXmlEscapes("a_x000D_b"), "a\rb");
  EXPECT_EQ(DecodeXmlEscapes("_x005F_x0041_"), "_x0041_");  // escaped underscore keeps the rest literal
  EXPECT_EQ(DecodeXmlEscapes("_xD83D__xDE00_"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(DecodeXmlEscapes("_xAC00_"), "가");
  EXPECT_EQ(DecodeXmlEscapes("_x00G0_ and _x41_"), "_x00G0_ and _x41_");
  EXPECT_EQ(DecodeXmlEscapes("_xD800_"), "\xEF\xBF\xBD");  // lone surrogate
}

TEST(CellText, CellReferences) {
  std::uint32_t col = 0, row = 0;
  ASSERT_TRUE(ParseColumnLetters("A1", col, row));
  EXPECT_EQ(col, 0u);
  EXPECT_EQ(row, 1u);
  ASSERT_TRUE(ParseColumnLetters("AA10", col, row));
  EXPECT_EQ(col, 26u);
  ASSERT_TRUE(ParseColumnLetters("XFD1048576", col, row));
  EXPECT_EQ(col, 16383u);
  EXPECT_FALSE(ParseColumnLetters("1", col, row));
  EXPECT_FALSE(ParseColumnLetters("ABCD1", col, row));
  EXPECT_FALSE(ParseColumnLetters("A1B", col, row));
}

}  // namespace
}  // namespace workbook
