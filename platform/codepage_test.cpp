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

// Every modern syllable, alone and beside ASCII, converts to two bytes that
// decode back to it; text with other characters still converts whole.
TEST(Codepage, EverySyllableRoundTripsAndMixedTextConvertsWhole) {
  std::string all;
  for (char32_t cp = 0xAC00; cp <= 0xD7A3; ++cp) {
    all += static_cast<char>(0xE0 | (cp >> 12));
    all += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    all += static_cast<char>(0x80 | (cp & 0x3F));
    all += 'a';
  }
  const std::string cp949 = platform::Utf8ToCp949(all);
  EXPECT_EQ(cp949.size(), 11172u * 3);
  EXPECT_EQ(platform::Cp949Length(all), 11172u * 3);
  EXPECT_EQ(platform::Cp949ToUtf8(cp949), all);
  // A middle dot, a circled digit and a Hanja are in code page 949 too.
  for (const char* text : {"가\xC2\xB7나", "\xE2\x91\xA0번", "韓국", "가\xF0\x9F\x98\x80"}) {
    const std::string converted = platform::Utf8ToCp949(text);
    EXPECT_EQ(platform::Cp949Length(text), converted.size()) << text;
    if (converted.find('?') == std::string::npos) {
      EXPECT_EQ(platform::Cp949ToUtf8(converted), text);
    }
  }
  EXPECT_EQ(platform::Utf8ToCp949("가\xF0\x9F\x98\x80"), "\xB0\xA1?");
  // A cut syllable at the end is no syllable.
  EXPECT_EQ(platform::Utf8ToCp949("a\xEA\xB0"), "a?");
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
