#include "provider/sql/functions.h"

#include <gtest/gtest.h>

#include "provider/sql/engine.h"

namespace provider {
namespace {

TEST(ServiceFunctions, Telephone) {
  const std::pair<const char*, const char*> cases[] = {
      {"01012345678", "010-1234-5678"}, {"0212345678", "02-1234-5678"}, {"0311234567", "031-123-4567"},
      {"021234567", "02-123-4567"},     {"02-1234-5678", "02-1234-5678"}, {"010 1234 5678", "010-1234-5678"},
      {"00123456789", "00123456789"},   {"1234567", "1234567"},           {"", ""},
      {"010123456789", "010123456789"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(FormatTelephone(in), out) << in;
}

TEST(ServiceFunctions, StoredDateAndTime) {
  EXPECT_EQ(FormatStoredDate("20261211"), "2026-12-11");
  EXPECT_EQ(FormatStoredDate("2026121"), "2026121");
  EXPECT_EQ(FormatStoredDate("2026-12-11"), "2026-12-11");
  EXPECT_EQ(FormatStoredTime("093005"), "09:30:05");
  EXPECT_EQ(FormatStoredTime("0930"), "09:30");
  EXPECT_EQ(FormatStoredTime("93005"), "93005");
  EXPECT_EQ(FormatStoredTime("ab:cd"), "ab:cd");
}

TEST(ServiceFunctions, Comma) {
  struct Case {
    const char* in;
    long long width;
    const char* out;
  };
  const Case cases[] = {
      {"1234567", 0, "1,234,567"},   {"1234567", 11, "  1,234,567"}, {"-1234", 7, " -1,234"},
      {"999", 2, "999"},             {"1234.50", 0, "1,234.50"},     {" 1000 ", 0, "1,000"},
      {"0", 3, "  0"},               {"abc", 5, "  abc"},            {"", 2, "  "},
      {"+12345", 0, "12,345"},       {"1,234", 0, "1,234"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatComma(c.in, c.width), std::optional<std::string>(c.out)) << c.in;
  EXPECT_EQ(FormatComma("1", -1), std::nullopt);
  EXPECT_EQ(FormatComma("1", kMaxCommaWidth + 1), std::nullopt);
}

TEST(ServiceFunctions, DateParsingAndStyles) {
  const std::optional<DateTime> dt = ParseDateTime("2026-02-03 04:05:06.789");
  ASSERT_TRUE(dt);
  const std::pair<int, const char*> styles[] = {
      {112, "20260203"},  {108, "04:05:06"},         {120, "2026-02-03 04:05:06"}, {121, "2026-02-03 04:05:06.789"},
      {23, "2026-02-03"}, {111, "2026/02/03"},       {102, "2026.02.03"},          {12, "260203"},
      {101, "02/03/2026"}, {103, "03/02/2026"},      {114, "04:05:06:789"},        {126, "2026-02-03T04:05:06.789"},
      {100, "Feb  3 2026  4:05AM"},
  };
  for (const auto& [style, out] : styles) EXPECT_EQ(FormatDateStyle(*dt, style), std::optional<std::string>(out)) << style;
  EXPECT_EQ(FormatDateStyle(*dt, 7), std::nullopt);

  const char* valid[] = {"20260203", "2026-02-03", "2026/02/03", "20240229", "20260203040506", "2026-02-03T04:05",
                         " 2026-02-03 04:05:06 "};
  for (const char* v : valid) EXPECT_TRUE(ParseDateTime(v)) << v;
  const char* invalid[] = {"20260230", "20250229", "2026-13-01", "2026-02-03 24:00", "2026-02-3", "abc", "",
                           "2026-02-03x", "202602031", "2026-02/03", "2026-02-03 04:05:61"};
  for (const char* v : invalid) EXPECT_FALSE(ParseDateTime(v)) << v;
}

TEST(ServiceFunctions, DateArithmetic) {
  const DateTime base = *ParseDateTime("2024-01-31 23:59:59.500");
  const std::pair<std::pair<const char*, long long>, const char*> adds[] = {
      {{"month", 1}, "2024-02-29 23:59:59.500"}, {{"mm", 13}, "2025-02-28 23:59:59.500"},
      {{"yy", -1}, "2023-01-31 23:59:59.500"},   {{"quarter", 1}, "2024-04-30 23:59:59.500"},
      {{"day", 1}, "2024-02-01 23:59:59.500"},   {{"dd", -31}, "2023-12-31 23:59:59.500"},
      {{"week", 1}, "2024-02-07 23:59:59.500"},  {{"hour", 1}, "2024-02-01 00:59:59.500"},
      {{"mi", -1440}, "2024-01-30 23:59:59.500"}, {{"ss", 1}, "2024-02-01 00:00:00.500"},
      {{"ms", 500}, "2024-02-01 00:00:00.000"},
  };
  for (const auto& [in, out] : adds) {
    const std::optional<DateTime> r = DateAdd(in.first, in.second, base);
    ASSERT_TRUE(r) << in.first;
    EXPECT_EQ(FormatDateStyle(*r, 121), std::optional<std::string>(out)) << in.first << " " << in.second;
  }
  EXPECT_FALSE(DateAdd("year", 8000, base));
  EXPECT_FALSE(DateAdd("day", 1LL << 62, base));
  EXPECT_FALSE(DateAdd("fortnight", 1, base));

  // 2024-12-31 is a Tuesday; 2025-01-05 a Sunday.
  const DateTime a = *ParseDateTime("2024-12-31 23:00:00");
  const std::pair<const char*, long long> diffs[] = {
      {"year", 1}, {"quarter", 1}, {"month", 1}, {"day", 5}, {"week", 1}, {"hour", 97}, {"minute", 5820},
      {"second", 349200}, {"ms", 349200000},
  };
  const DateTime b = *ParseDateTime("2025-01-05 00:00:00");
  for (const auto& [part, n] : diffs) EXPECT_EQ(DateDiff(part, a, b), std::optional<long long>(n)) << part;
  EXPECT_EQ(DateDiff("day", b, a), std::optional<long long>(-5));
  EXPECT_EQ(DateDiff("week", *ParseDateTime("20250104"), *ParseDateTime("20250105")), std::optional<long long>(1));
  EXPECT_EQ(DateDiff("week", *ParseDateTime("20250105"), *ParseDateTime("20250111")), std::optional<long long>(0));
}

TEST(ServiceFunctions, CallableFromSql) {
  std::string error;
  auto engine = Engine::Open(":memory:", &error);
  ASSERT_TRUE(engine) << error;
  std::vector<std::string> row;
  ASSERT_EQ(engine->ExecuteFirst("select dbo.F_FMT_TEL('01012345678'), dbo.F_FMT_DATE('20261211'), "
                                 "dbo.F_FMT_TIME('093005'), dbo.F_COMMA(1234567, 11), dbo.F_COMMA(NULL, 3), "
                                 "F_FMT_TEL(NULL)",
                                 &row)
                .code,
            0);
  EXPECT_EQ(row, (std::vector<std::string>{"010-1234-5678", "2026-12-11", "09:30:05", "  1,234,567", "", ""}));
  ASSERT_EQ(engine->ExecuteFirst("select dateadd(day, 1, '20261231'), datediff(dd, '20261201', '20261211'), "
                                 "datediff(month, NULL, '20261211')",
                                 &row)
                .code,
            0);
  EXPECT_EQ(row, (std::vector<std::string>{"2027-01-01 00:00:00.000", "10", ""}));
  const ExecResult r = engine->Execute("select dbo.F_COMMA(1, 100000)", {});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.message.find("F_COMMA: width"), std::string::npos) << r.message;
}

}  // namespace
}  // namespace provider
