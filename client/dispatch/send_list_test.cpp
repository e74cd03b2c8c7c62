#include "client/dispatch/send_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>

namespace dispatch {
namespace {

TEST(SendListTest, RowsKeepTheirFieldsThroughFrontRemovalSetAndRemove) {
  SendList list;
  for (int i = 0; i < 10000; ++i)
    list.AppendNumbered("010-0000-" + std::to_string(1000 + i), {"이름" + std::to_string(i), "", "c", std::string(300, 'x')});
  EXPECT_EQ(list.Get(0, 0), "1");
  EXPECT_EQ(list.Get(9999, 0), "10000");
  EXPECT_EQ(list.Get(5, 2), "이름5");
  EXPECT_EQ(list.Get(5, 3), "");
  list.RemoveFront(6000);  // compacts
  ASSERT_EQ(list.size(), 4000u);
  EXPECT_EQ(list.Get(0, 0), "6001");
  EXPECT_EQ(list.Get(0, 5), std::string(300, 'x'));
  list.Set(1, 1, "02-123-4567");
  EXPECT_EQ(list.Get(1, 1), "02-123-4567");
  EXPECT_EQ(list.Get(1, 2), "이름6001");
  list.Remove({3, 0, 3, 3999});
  ASSERT_EQ(list.size(), 3997u);
  EXPECT_EQ(list.Get(0, 0), "6002");
  EXPECT_EQ(list.Get(0, 1), "02-123-4567");
  EXPECT_EQ(list.Get(1, 0), "6003");
  EXPECT_EQ(list.Get(2, 0), "6005");
  EXPECT_EQ(list.Get(3996, 0), "9999");
  list.RemoveFront(100000);
  EXPECT_TRUE(list.empty());
}

TEST(CompactStringSetTest, OrdersBytewiseWithPrefixesFirstAndRejectsRepeats) {
  CompactStringSet set;
  const std::vector<std::string> in = {"010-1", "010", "02", "\xEA\xB0\x80", "", "010-1", std::string(400000, 'z')};
  int added = 0;
  for (const auto& s : in) added += set.Insert(s);
  EXPECT_EQ(added, 6);
  std::vector<std::string> expected = {"", "010", "010-1", "02", std::string(400000, 'z'), "\xEA\xB0\x80"};
  EXPECT_EQ(set.Items(), expected);
  EXPECT_TRUE(set.Contains("02"));
  set.Clear();
  EXPECT_EQ(set.size(), 0u);
  EXPECT_TRUE(set.Insert("02"));
}

// Many texts in random order, repeats among them, short and long, with
// bytes above 0x7f and NULs: the set agrees with std::set<std::string>.
TEST(CompactStringSetTest, AgreesWithStdSetOnManyRandomTexts) {
  std::mt19937 rng(7);
  std::set<std::string> reference;
  CompactStringSet set;
  for (int i = 0; i < 50000; ++i) {
    std::string text;
    const int len = static_cast<int>(rng() % 4 == 0 ? rng() % 40 : rng() % 14);
    for (int k = 0; k < len; ++k) text += static_cast<char>(rng() % 4 == 0 ? rng() % 256 : '0' + rng() % 3);
    ASSERT_EQ(set.Insert(text), reference.insert(text).second) << i;
    if (i % 97 == 0) {
      ASSERT_TRUE(set.Contains(text));
    }
  }
  EXPECT_EQ(set.size(), reference.size());
  EXPECT_EQ(set.Items(), std::vector<std::string>(reference.begin(), reference.end()));
  EXPECT_FALSE(set.Contains(std::string(41, '0')));
}

}  // namespace
}  // namespace dispatch
