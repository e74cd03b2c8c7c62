#include "client/app/sql_builder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

CSQLBuilder Filled(CSQLBuilder::Kind kind, const char* name) {
  CSQLBuilder b(kind, name);
  b.Add("SVC_ID", "12");
  b.AddText("SVC_NM", "안내");
  b.AddFormat("MAX_LINE", "%d", 30);
  return b;
}

TEST(CSQLBuilder, BuildsEachKind) {
  struct {
    CSQLBuilder::Kind kind;
    const char* condition;
    const char* tail;
    const char* expected;
  } cases[] = {
      {CSQLBuilder::kInsert, "", "", "insert into SERVICE_INFO ( SVC_ID, SVC_NM, MAX_LINE ) values ( 12, '안내', 30 ) "},
      {CSQLBuilder::kUpdate, "SVC_ID = 12", "",
       "update SERVICE_INFO set SVC_ID = 12, SVC_NM = '안내', MAX_LINE = 30 where SVC_ID = 12 "},
      {CSQLBuilder::kCall, "", "", "{ call SERVICE_INFO (12, '안내', 30) }"},
      {CSQLBuilder::kExecute, "", " ; select 1", "execute SERVICE_INFO 12, '안내', 30 ; select 1"},
      {CSQLBuilder::kUpdate, "A = 1", "order by 1", "update SERVICE_INFO set SVC_ID = 12, SVC_NM = '안내', MAX_LINE = 30 where A = 1 order by 1"},
  };
  for (const auto& c : cases) {
    CSQLBuilder b = Filled(c.kind, "SERVICE_INFO");
    b.SetCondition(c.condition);
    b.SetTail(c.tail);
    EXPECT_EQ(b.Build(), c.expected);
  }
}

TEST(CSQLBuilder, EmptyItemLists) {
  EXPECT_EQ(CSQLBuilder(CSQLBuilder::kCall, "P").Build(), "{ call P () }");
  EXPECT_EQ(CSQLBuilder(CSQLBuilder::kExecute, "P").Build(), "execute P ");
}

TEST(CSQLBuilder, TextValuesHaveApostrophesDoubled) {
  CSQLBuilder b(CSQLBuilder::kInsert, "AGENT_INFO");
  b.AddText("AGENT_NM", "O'Brien'); delete from AGENT_INFO --");
  EXPECT_EQ(b.Build(), "insert into AGENT_INFO ( AGENT_NM ) values ( 'O''Brien''); delete from AGENT_INFO --' ) ");
}

TEST(CSQLBuilder, OverLongItemsAreRefusedNotCut) {
  std::string col50(50, 'C'), val2047(2047, 'v');
  CSQLBuilder ok(CSQLBuilder::kInsert, "T");
  EXPECT_TRUE(ok.Add(col50, val2047));
  EXPECT_TRUE(ok.IsValid());
  EXPECT_FALSE(ok.Build().empty());

  struct {
    std::string column;
    std::string value;
    bool text;
  } bad[] = {
      {col50 + "C", "1", false},
      {"C", val2047 + "v", false},
      {"C", std::string(2045, 'v') + "'", true},  // 2045 + doubled ' + quotes > 2047
      {"C", Repeat("가", 1024), false},  // 2048 bytes in code page 949
      {Repeat("가", 26), "1", false},    // 52 bytes
  };
  for (const auto& c : bad) {
    CSQLBuilder b(CSQLBuilder::kInsert, "T");
    b.Add("A", "1");
    EXPECT_FALSE(c.text ? b.AddText(c.column, c.value) : b.Add(c.column, c.value));
    EXPECT_FALSE(b.IsValid());
    EXPECT_FALSE(b.GetError().empty());
    EXPECT_EQ(b.Build(), "");
    b.Clear();
    EXPECT_TRUE(b.IsValid());
  }
  CSQLBuilder f(CSQLBuilder::kInsert, "T");
  EXPECT_FALSE(f.AddFormat("C", "%s", std::string(5000, 'x').c_str()));
  EXPECT_EQ(f.Build(), "");
}

}  // namespace
