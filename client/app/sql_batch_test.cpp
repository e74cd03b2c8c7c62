#include "client/app/sql_batch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CSQLBatch, AppendsWithSeparatorAndCounts) {
  CSQLBatch b;
  EXPECT_TRUE(b.Add("exec P 1"));
  EXPECT_TRUE(b.Add("exec P '가'"));
  EXPECT_EQ(b.GetText(), "exec P 1~$#^@*exec P '가'~$#^@*");
  EXPECT_EQ(b.GetCount(), 2);
  EXPECT_EQ(b.GetLength(), 8u + 6 + 11 + 6);  // 가 counts 2 bytes
  b.Clear();
  EXPECT_EQ(b.GetText(), "");
  EXPECT_EQ(b.GetCount(), 0);
  EXPECT_EQ(b.GetLength(), 0u);
}

TEST(CSQLBatch, FullAtExactly50000Bytes) {
  CSQLBatch b;
  ASSERT_TRUE(b.Add(std::string(30000 - 6, 'a')));
  // 20000 bytes fit exactly: 30000 + 19994 + 6 == 50000.
  std::string exact(19994, 'b');
  CSQLBatch copy = b;
  EXPECT_TRUE(copy.Add(exact));
  EXPECT_EQ(copy.GetLength(), 50000u);
  EXPECT_FALSE(copy.Add(""));  // even an empty statement needs its separator
  // One more byte does not fit and changes nothing.
  std::string text_before = b.GetText();
  EXPECT_FALSE(b.Add(exact + "b"));
  EXPECT_EQ(b.TryAdd(exact + "b"), CSQLBatch::AddResult::kFull);
  EXPECT_EQ(b.GetText(), text_before);
  EXPECT_EQ(b.GetCount(), 1);
}

TEST(CSQLBatch, CountsHangulAsTwoBytesAgainstTheLimit) {
  CSQLBatch b;
  std::string hangul;
  for (int i = 0; i < 24997; ++i) hangul += "가";  // 49994 bytes in code page 949
  EXPECT_EQ(b.TryAdd(hangul), CSQLBatch::AddResult::kAdded);
  EXPECT_EQ(b.GetLength(), 50000u);
  b.Clear();
  EXPECT_EQ(b.TryAdd(hangul + "a"), CSQLBatch::AddResult::kTooLong);
}

TEST(CSQLBatch, RefusesStatementsThatCanNeverBeSentAlone) {
  CSQLBatch b;
  EXPECT_EQ(b.TryAdd(std::string(49995, 'x')), CSQLBatch::AddResult::kTooLong);
  // The separator inside a typed value would cut the statement in two.
  EXPECT_EQ(b.TryAdd("exec P 'x~$#^@*delete from T --'"), CSQLBatch::AddResult::kInvalid);
  EXPECT_FALSE(b.Add("a~$#^@*b"));
  EXPECT_EQ(b.GetCount(), 0);
}

}  // namespace
