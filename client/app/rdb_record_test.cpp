#include "client/app/rdb_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Fields(const CRDBRecord& r) {
  std::vector<std::string> out;
  for (int i = 0; i < r.GetCount(); ++i) out.emplace_back(r.Field(i));
  return out;
}

TEST(CRDBRecord, ParseSplitsAtTerminators) {
  struct {
    std::string record;
    std::vector<std::string> fields;
  } cases[] = {
      {"abc:;:;12:;", {"abc", "", "12"}},
      {"no terminator", {}},
      {":;", {""}},
      {"a:;b", {"a"}},  // text after the last terminator is ignored
      {"", {}},
      {":", {}},
      {"a:b;c:;", {"a:b;c"}},
      {"::;;:;", {":", ";"}},
      {"홍길동:;010-1234-5678:;", {"홍길동", "010-1234-5678"}},
      {std::string("a\0b:;", 5), {std::string("a\0b", 3)}},
  };
  CRDBRecord r;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.record);
    EXPECT_EQ(r.Parse(c.record), static_cast<int>(c.fields.size()));
    EXPECT_EQ(Fields(r), c.fields);
  }
}

TEST(CRDBRecord, ParseReplacesEarlierFieldsAndGetFieldChecksIndex) {
  CRDBRecord r;
  r.Parse("a:;b:;c:;");
  EXPECT_EQ(r.Parse("x:;"), 1);
  EXPECT_STREQ(r.GetField(0), "x");
  EXPECT_EQ(r.GetField(1), nullptr);
  EXPECT_EQ(r.GetField(-1), nullptr);
  EXPECT_EQ(r.Field(5), "");
}

TEST(CRDBRecord, KeepsTheFirstHundredFields) {
  std::vector<std::string> fields;
  for (int i = 0; i < 105; ++i) fields.push_back("f" + std::to_string(i));
  CRDBRecord r;
  EXPECT_EQ(r.Parse(MakeRDBRecord(fields)), 100);
  EXPECT_TRUE(r.WasCut());
  EXPECT_STREQ(r.GetField(99), "f99");
  fields.resize(100);
  EXPECT_EQ(r.Parse(MakeRDBRecord(fields)), 100);
  EXPECT_FALSE(r.WasCut());
}

TEST(CRDBRecord, RoundTripsFieldsWithoutTerminator) {
  const std::vector<std::vector<std::string>> rows = {
      {}, {""}, {"", ""}, {"1", "서비스", "2024-01-01 00:00:00.000", ":", ";", "a;:b"}};
  for (const auto& row : rows) {
    CRDBRecord r;
    r.Parse(MakeRDBRecord(row));
    EXPECT_EQ(Fields(r), row);
  }
}

}  // namespace
