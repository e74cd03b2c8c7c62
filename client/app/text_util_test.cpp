#include "client/app/text_util.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatTelNo, DashesByLengthAndPrefix) {
  struct {
    const char* in;
    int result;
    const char* out;
  } cases[] = {
      {"021234567", 1, "02-123-4567"},
      {"0212345678", 1, "02-1234-5678"},
      {"02-1234-5678", 1, "02-1234-5678"},
      {"02 1234 5678", 1, "02-1234-5678"},
      {"(02)1234-5678", 1, "02-1234-5678"},
      {"0311234567", 1, "031-123-4567"},
      {"01012345678", 1, "010-1234-5678"},
      {"010.1234.5678", 1, "010-1234-5678"},
      {"15881234", 0, "15881234"},       // 8 digits
      {"1234567", 0, "1234567"},         // 7 digits: left as digits
      {"00112345678", 0, "00112345678"}, // 11 digits starting with 00
      {"001234567", 0, "001234567"},
      {"010123456789", 0, "010123456789"},
      {"abc", 0, ""},
      {"", 0, ""},
  };
  for (const auto& c : cases) {
    std::string s = c.in;
    EXPECT_EQ(FormatTelNo(s), c.result) << c.in;
    EXPECT_EQ(s, c.out) << c.in;
  }
}

TEST(Digits, GetAndStrip) {
  EXPECT_EQ(GetDigits("a1-2 3가4"), "1234");
  std::string s = "010-1234-5678 (휴대폰)";
  StripNonDigits(s);
  EXPECT_EQ(s, "01012345678");
  std::string many(100, '7');
  EXPECT_EQ(GetDigits(many).size(), kMaxDigits);
  StripNonDigits(many);
  EXPECT_EQ(many, std::string(80, '7'));
}

TEST(GetCode, TextBeforeFirstDot) {
  EXPECT_EQ(GetCode("99999999.전체"), "99999999");
  EXPECT_EQ(GetCode("1201.안내.서비스"), "1201");
  EXPECT_EQ(GetCode(".x"), "");
  EXPECT_EQ(GetCode("nodot"), "");
}

}  // namespace
