#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace {

TEST(Codepage, RoundTripsHangulIncludingExtendedSyllables) {
  // 똠 and 뷁 are outside KS X 1001 and only in Microsoft's 949.
  for (const char* text : {"가나다", "똠뷁", "ORV 데이터 가져오기 및 전송", "abc"}) {
    std::string cp = platform::Utf8ToCp949(text);
    EXPECT_EQ(platform::Cp949ToUtf8(cp), text);
  }
  EXPECT_EQ(platform::Utf8ToCp949("가"), "\xB0\xA1");
  EXPECT_EQ(platform::Utf8ToCp949("똠").size(), 2u);
}

TEST(Codepage, ByteLengthCountsHangulAsTwo) {
  EXPECT_EQ(platform::Cp949Length("홍길동"), 6u);
  EXPECT_EQ(platform::Cp949Length("a가b"), 4u);
  EXPECT_EQ(platform::Cp949Length(""), 0u);
}

TEST(Codepage, BadInputIsReplacedNotDropped) {
  EXPECT_EQ(platform::Utf8ToCp949("a\xF0\x9F\x98\x80" "b"), "a?b");  // emoji has no 949 form
  EXPECT_EQ(platform::Cp949ToUtf8("a\xB0"), "a\xEF\xBF\xBD");          // truncated lead byte
}

TEST(Codepage, Utf8Validation) {
  EXPECT_TRUE(platform::IsValidUtf8("가나 abc"));
  EXPECT_FALSE(platform::IsValidUtf8("\xB0\xA1"));
  EXPECT_FALSE(platform::IsValidUtf8("\xC0\x80"));
  EXPECT_FALSE(platform::IsValidUtf8("\xE0\x80\x80"));
  EXPECT_FALSE(platform::IsValidUtf8("\xEA\xB0"));
}

TEST(Codepage, TruncateCountsCp949BytesAtWholeCharacters) {
  struct {
    const char* text;
    std::size_t max;
    const char* expected;
  } cases[] = {{"abc", 5, "abc"}, {"abcdef", 3, "abc"}, {"홍길동", 5, "홍길"}, {"홍길동", 6, "홍길동"},
               {"a홍", 2, "a"},   {"홍", 1, ""},        {"", 0, ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(platform::Cp949Truncate(c.text, c.max), c.expected) << c.text << " " << c.max;
  }
}

}  // namespace
