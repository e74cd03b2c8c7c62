#include "provider/sql/translate.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <string>
#include <vector>

#include "provider/sql/engine.h"
#include "provider/sql/schema.h"

namespace provider {
namespace {

std::string MustTranslate(const std::string& in) {
  std::string error;
  std::string out = TranslateDialect(in, &error);
  EXPECT_EQ(error, "") << in;
  return out;
}

struct Case {
  const char* in;
  const char* out;
};

TEST(Translate, Rewrites) {
  const Case cases[] = {
      // table hints
      {"select a from T with(nolock) where b = 1", "select a from T where b = 1"},
      {"select a from T with (nolock, readpast) join U u WITH(ROWLOCK) on T.x = u.x",
       "select a from T join U u on T.x = u.x"},
      {"select a from T (nolock), U u (nolock) join V (nolock) on 1 = 1", "select a from T, U u join V on 1 = 1"},
      {"select count(nolock) from T", "select count(nolock) from T"},
      {"update REQ_ORV with(rowlock) set PROGRESS = '9' where ORV_ID = 1",
       "update REQ_ORV set PROGRESS = '9' where ORV_ID = 1"},
      // top
      {"select top 1 a from T order by a desc", "select a from T order by a desc LIMIT 1"},
      {"SELECT TOP (5) a FROM T", "SELECT a FROM T LIMIT 5"},
      {"select distinct top 3 a from T", "select distinct a from T LIMIT 3"},
      {"select top 100 percent a from T", "select a from T"},
      {"delete REQ_ORV where ORV_ID in (select top 300 ORV_ID from REQ_ORV where SVC_ID = 7 )",
       "delete from REQ_ORV where ORV_ID in (select ORV_ID from REQ_ORV where SVC_ID = 7 LIMIT 300)"},
      {"select top 1 x from (select top 2 y x from T order by y) s",
       "select x from (select y x from T order by y LIMIT 2) s LIMIT 1"},
      {"select top 1 a from T union all select b from U",
       "select * from (select a from T LIMIT 1) union all select b from U"},
      // names, literals, aliases
      {"select [a]]b], [전화번호] = col, [Q.NO] from [T 1]", "select \"a]b\", col AS \"전화번호\", \"Q.NO\" from \"T 1\""},
      {"select 통보결과 = case when [RES_CODE] = '0' then '성공' end, y from T",
       "select case when \"RES_CODE\" = '0' then '성공' end AS \"통보결과\", y from T"},
      {"select 'n' = count(*) from T", "select count(*) AS \"n\" from T"},
      {"select a from T where a = b", "select a from T where a = b"},
      {"select N'가''나', 'it''s'", "select '가''나', 'it''s'"},
      {"select a -- top 1 with(nolock)\n from T /* with(nolock) /* nested */ */ where b = 1",
       "select a from T where b = 1"},
      // keywords inside literals and names stay as they are
      {"select 'with(nolock) top 1 isnull( a + b', [x + y] from T", "select 'with(nolock) top 1 isnull( a + b', \"x + y\" from T"},
      // '+'
      {"select a + b, 'x' + c + 'y', a - b + c, a + b * c from T",
       "select tm_add(a, b), tm_add(tm_add('x', c), 'y'), tm_add(a - b, c), tm_add(a, b * c) from T"},
      {"select -a + -1, ifnull(a,0) + count(*), (a + 1) * 2 from T",
       "select tm_add(-a, -1), tm_add(ifnull(a,0), count(*)), (tm_add(a, 1)) * 2 from T"},
      {"select x from T where DIAL_DATE+DIAL_TIME between '1' and '2'",
       "select x from T where tm_add(DIAL_DATE, DIAL_TIME) between '1' and '2'"},
      {"select case when a = 1 then b + c else d end + 'z' from T",
       "select tm_add(case when a = 1 then tm_add(b, c) else d end, 'z') from T"},
      {"select t.a + u.b alias from T t, U u", "select tm_add(t.a, u.b) alias from T t, U u"},
      // functions
      {"select isnull(a,''), getdate(), len(x) from T", "select ifnull(a,''), tm_getdate(), length(rtrim(x)) from T"},
      {"select convert(varchar, x), convert(varchar(8), getdate(), 112), convert(int, '5'), convert(datetime, d)",
       "select substr(cast(x as text), 1, 30), substr(tm_convert(tm_getdate(), 112), 1, 8), cast('5' as integer), "
       "tm_datetime(d, 0)"},
      {"select convert(varchar,IS_TRANSFER) + '.' + cd1.CD_NM from T",
       "select tm_add(tm_add(substr(cast(IS_TRANSFER as text), 1, 30), '.'), cd1.CD_NM) from T"},
      {"select substring(a, 1, 2), charindex('-', a), charindex('-', a, 3) from T",
       "select substr(a, 1, 2), instr(a, '-'), tm_charindex('-', a, 3) from T"},
      {"select dbo.F_FMT_TEL(x) from NEW_ORV.dbo.T, NEW_ORV..U", "select F_FMT_TEL(x) from T, U"},
      {"select dateadd(dd, -1, getdate()), datediff(day, a, b) from T",
       "select tm_dateadd('dd', -1, tm_getdate()), tm_datediff('day', a, b) from T"},
      {"select left(a, 2) + right(a, 3), current_timestamp from T left join U on 1 = 1",
       "select tm_add(substr(a, 1, 2), tm_right(a, 3)), tm_getdate() from T left join U on 1 = 1"},
      {"select a from T where a = 'x' collate Korean_Wansung_BIN", "select a from T where a = 'x' collate BINARY"},
      {"select a from T where a = 'x' collate Korean_Wansung_CI_AS", "select a from T where a = 'x' collate NOCASE"},
      // statements
      {"delete T where a = 1", "delete from T where a = 1"},
      {"delete from T where a = 1", "delete from T where a = 1"},
      {"insert T (a) values (1)", "insert into T (a) values (1)"},
      {"select a from T where a !< 1 and b !> 2", "select a from T where a >= 1 and b <= 2"},
      {"update T set a = 1; select 2", "update T set a = 1;\nselect 2"},
      {"insert into T values (1)\nselect * from T", "insert into T values (1);\nselect * from T"},
      {"select 1\nunion all\nselect 2", "select 1 union all select 2"},
      {"insert into T\nselect * from U", "insert into T select * from U"},
      {"with x as (select 1 a)\nselect a from x\nselect 2", "with x as (select 1 a) select a from x;\nselect 2"},
      {"select a from T where b = ';'", "select a from T where b = ';'"},
  };
  for (const Case& c : cases) EXPECT_EQ(MustTranslate(c.in), c.out) << c.in;
}

// Plain inserts pass through as written; anything the rewriter would touch
// still goes through it.
TEST(Translate, PlainInsertsPassThroughOthersAreRewritten) {
  const Case cases[] = {
      {"insert into T (A, B) values ('x''y', -12)", "insert into T (A, B) values ('x''y', -12)"},
      {"insert into T values (1,'a',  NULL)", "insert into T values (1,'a',  NULL)"},
      {"insert into T (A) values (N'가')", "insert into T (A) values ('가')"},
      {"insert into T (A) values (getdate())", nullptr},
      {"insert into T (A) values ('a' + 'b')", nullptr},
      {"insert into T (A) values (isnull(null, 1))", "insert into T (A) values (ifnull(null, 1))"},
      {"insert into dbo.T (A) values (1)", "insert into T (A) values (1)"},
      {"insert into T ([A]) values (1)", "insert into T (\"A\") values (1)"},
      {"insert into T (A) values (1) -- note", "insert into T (A) values (1)"},
      {"insert into T (A) select top 1 A from U", "insert into T (A) select A from U LIMIT 1"},
  };
  for (const Case& c : cases) {
    std::string out = MustTranslate(c.in);
    if (c.out) {
      EXPECT_EQ(out, c.out) << c.in;
    } else {
      EXPECT_NE(out, c.in) << c.in;
    }
  }
}

TEST(Translate, ProcedureCalls) {
  struct CallCase {
    const char* in;
    const char* name;
    std::vector<std::string> args;
    std::vector<bool> nulls;
  };
  const CallCase cases[] = {
      {"exec P_INSERT_REQ_ORV 'u', 1001,'it''s','', -5, NULL, 1.5, N'가'",
       "P_INSERT_REQ_ORV",
       {"u", "1001", "it's", "", "-5", "", "1.5", "가"},
       {false, false, false, false, false, true, false, false}},
      {"execute dbo.P_X 'a'", "P_X", {"a"}, {false}},
      {"EXEC P", "P", {}, {}},
      {"{call P_ORV_콜백률조회('u','20260101','20260131')}", "P_ORV_콜백률조회", {"u", "20260101", "20260131"},
       {false, false, false}},
      {"{ call P_ORV_DELETE_REQ_ORV (7) } ", "P_ORV_DELETE_REQ_ORV", {"7"}, {false}},
      {"{call P_ORV_데이터삭제('a;b','x')}", "P_ORV_데이터삭제", {"a;b", "x"}, {false, false}},
      {"{call P}", "P", {}, {}},
  };
  for (const CallCase& c : cases) {
    const Translation t = Translate(c.in);
    ASSERT_TRUE(t.ok()) << c.in << ": " << t.error;
    ASSERT_EQ(t.statements.size(), 1u) << c.in;
    const Statement& st = t.statements[0];
    EXPECT_TRUE(st.is_call) << c.in;
    EXPECT_EQ(st.call.name, c.name);
    EXPECT_EQ(st.call.args, c.args) << c.in;
    EXPECT_EQ(st.call.is_null, c.nulls) << c.in;
  }
  // A call may follow other statements in one text.
  const Translation t = Translate("update T set a = 1\nexec P 'x'");
  ASSERT_TRUE(t.ok()) << t.error;
  ASSERT_EQ(t.statements.size(), 2u);
  EXPECT_FALSE(t.statements[0].is_call);
  EXPECT_TRUE(t.statements[1].is_call);
  EXPECT_EQ(t.statements[1].source, "exec P 'x'");
}

TEST(Translate, Errors) {
  const Case cases[] = {
      {"select 'abc", "unterminated string literal at offset 7"},
      {"select [abc", "unterminated [name]"},
      {"select \"abc", "unterminated \"name\""},
      {"select (a", "missing ')'"},
      {"select a)", "unbalanced ')'"},
      {"select a /* x", "unterminated comment"},
      {"select @x", "variables"},
      {"select a from T where b = ?", "unexpected character '?'"},
      {"select a from T where b = :b", "unexpected character ':'"},
      {"select 12abc", "malformed number"},
      {"exec P 'a' 'b'", "','"},
      {"exec P (1)", "without parentheses"},
      {"exec P getdate()", "','"},
      {"exec P 1,", "argument expected"},
      {"exec", "procedure name expected"},
      {"{call P(1)", "must end with '}'"},
      {"{call P((1))}", "texts, numbers or NULL"},
      {"{fn now()}", "only {call"},
      {"select top x a from T", "top: a number expected"},
      {"select top 10 percent a from T", "only supported for 100"},
      {"select top 5 with ties a from T", "with ties"},
      {"select convert(xml, a)", "convert to xml is not supported"},
      {"select convert(varchar)", "convert takes 2 or 3 arguments"},
      {"select case when a = 1 then 2 from T", "case without end"},
      {"select charindex('a')", "charindex takes 2 or 3"},
      {"select getdate(1)", "getdate() takes no arguments"},
      {"select dateadd(day, 1)", "dateadd takes a date part and 2 arguments"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(TranslateDialect(c.in, &error), "") << c.in;
    EXPECT_NE(error.find(c.out), std::string::npos) << c.in << " gave: " << error;
  }
  std::string error;
  EXPECT_EQ(TranslateDialect(std::string("select 1\0", 9), &error), "");
  EXPECT_NE(error.find("NUL"), std::string::npos) << error;
}

TEST(Translate, HostileInputIsRefusedWithinLimits) {
  struct Hostile {
    std::string text;
    bool limit;  // refused because of a limit (rather than a syntax error)
  };
  const std::string deep_parens = "select " + std::string(100000, '(') + "1" + std::string(100000, ')');
  std::string deep_case = "select ";
  for (int i = 0; i < 200; ++i) deep_case += "case when 1 = 1 then ";
  deep_case += "1";
  for (int i = 0; i < 200; ++i) deep_case += " end";
  std::string plus_chain = "select 1";
  for (int i = 0; i < 2000; ++i) plus_chain += " + 1";
  std::string many = "select 1";
  for (int i = 0; i < 20000; ++i) many += ";select 1";
  const Hostile cases[] = {
      {deep_parens, true},
      {deep_case, true},
      {plus_chain, true},
      {std::string(2 << 20, ' ') + "select 1", true},
      {many, true},
      {std::string(50000, '('), true},
      {std::string(50000, ')'), false},
      {"select " + std::string(100001, '\''), false},
  };
  for (const Hostile& h : cases) {
    const Translation t = Translate(h.text);
    EXPECT_FALSE(t.ok()) << h.text.substr(0, 40);
    EXPECT_EQ(t.limit_exceeded, h.limit) << t.error;
  }
  // Long but flat texts translate.
  std::string wide = "select a";
  for (int i = 0; i < 50000; ++i) wide += ", a";
  wide += " from T";
  EXPECT_TRUE(Translate(wide).ok());
  std::string unary = "select " ;
  for (int i = 0; i < 50000; ++i) unary += "- ";
  unary += "1";
  EXPECT_TRUE(Translate(unary).ok());
  // Limits are options.
  TranslateLimits small;
  small.max_text_bytes = 10;
  EXPECT_TRUE(Translate("select 1", small).ok());
  EXPECT_TRUE(Translate("select 1, 2, 3", small).limit_exceeded);
}

std::vector<std::string> Corpus() {
  std::ifstream in(PROVIDER_SQL_TESTDATA "/statements.txt");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

// The text outside string literals and quoted names.
std::string OutsideLiterals(const std::string& sql) {
  std::string out;
  char quote = 0;
  for (char c : sql) {
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      continue;
    }
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

// Every statement the client sends translates into SQL that SQLite accepts on
// the service's schema, with no SQL Server construct left.
TEST(Translate, WholeCorpusPreparesOnTheSchema) {
  const std::vector<std::string> corpus = Corpus();
  ASSERT_GT(corpus.size(), 100u);
  std::string error;
  auto engine = Engine::Open(":memory:", &error);
  ASSERT_TRUE(engine) << error;
  ASSERT_TRUE(ApplySchema(*engine).ok());
  int calls = 0;
  for (const std::string& line : corpus) {
    const Translation t = Translate(line);
    ASSERT_TRUE(t.ok()) << line << ": " << t.error;
    ASSERT_EQ(t.statements.size(), 1u) << line;
    const Statement& st = t.statements[0];
    if (st.is_call) {
      ++calls;
      EXPECT_EQ(st.call.name.rfind("P_", 0), 0u) << line;
      continue;
    }
    std::string bare = OutsideLiterals(st.sql);
    for (std::size_t at; (at = bare.find("tm_")) != std::string::npos;) bare.replace(at, 3, "@");
    for (const char* left : {"nolock", "rowlock", "isnull", "(getdate", " getdate", "dbo.", "[", "+", " top ",
                             "korean_wansung", "convert", " len("}) {
      EXPECT_EQ(bare.find(left), std::string::npos) << left << " left in: " << st.sql;
    }
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(engine->handle(), st.sql.c_str(), -1, &stmt, nullptr);
    EXPECT_EQ(rc, SQLITE_OK) << st.sql << "\n" << sqlite3_errmsg(engine->handle());
    sqlite3_finalize(stmt);
  }
  EXPECT_GT(calls, 15);
}

// Translating the output again changes nothing: the output is a fixed point,
// so nothing is rewritten twice (e.g. a text literal never re-quoted).
TEST(Translate, OutputIsAFixedPoint) {
  for (const std::string& line : Corpus()) {
    const Translation t = Translate(line);
    ASSERT_TRUE(t.ok());
    if (t.statements[0].is_call) continue;
    const std::string once = t.statements[0].sql;
    EXPECT_EQ(MustTranslate(once), once);
  }
}

}  // namespace
}  // namespace provider
