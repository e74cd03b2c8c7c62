#include "client/app/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SplitCommandLine, WordsByCount) {
  struct {
    const char* line;
    const char* address;
    const char* id;
    const char* password;
  } cases[] = {
      {"", "", "", ""},
      {"   ", "", "", ""},
      {"10.0.0.1", "10.0.0.1", "", ""},
      {"  10.0.0.1  ", "10.0.0.1", "", ""},
      {"10.0.0.1 secret", "10.0.0.1", "", "secret"},          // two words: empty ID
      {"10.0.0.1 user secret", "10.0.0.1", "user", "secret"},
      {"10.0.0.1 agent@cust pass word", "10.0.0.1", "agent@cust", "pass word"},  // rest of the line
      {"10.0.0.1   user   secret", "10.0.0.1", "user", "secret"},  // runs of blanks
      {"host\tuser\tsecret", "host", "user", "secret"},
      {"host 홍길동 비밀", "host", "홍길동", "비밀"},
  };
  for (const auto& c : cases) {
    CommandLineWords w = SplitCommandLine(c.line);
    EXPECT_EQ(w.server_address, c.address) << c.line;
    EXPECT_EQ(w.login_id, c.id) << c.line;
    EXPECT_EQ(w.password, c.password) << c.line;
  }
}

TEST(SplitCommandLine, OverLongWordsAreCutToTheirWidths) {
  std::string addr(60, 'a'), id(30, 'i'), pw(30, 'p');
  CommandLineWords w = SplitCommandLine(addr + " " + id + " " + pw);
  EXPECT_EQ(w.server_address, std::string(50, 'a'));
  EXPECT_EQ(w.login_id, std::string(20, 'i'));
  EXPECT_EQ(w.password, std::string(20, 'p'));
  // Widths count code page 949 bytes and never split a character.
  std::string hangul_id;
  for (int i = 0; i < 15; ++i) hangul_id += "가";
  w = SplitCommandLine("h " + hangul_id + " x");
  EXPECT_EQ(w.login_id.size(), 10u * 3);  // 10 syllables = 20 bytes in 949
}

TEST(JoinArguments, JoinsWithBlanks) {
  const char* argv[] = {"Tellomar", "10.0.0.1", "user", "pass word"};
  EXPECT_EQ(JoinArguments(4, argv), "10.0.0.1 user pass word");
  EXPECT_EQ(JoinArguments(1, argv), "");
  CommandLineWords w = SplitCommandLine(JoinArguments(4, argv));
  EXPECT_EQ(w.password, "pass word");
}

}  // namespace
