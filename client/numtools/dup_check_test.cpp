#include "client/numtools/dup_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "client/numtools/test_files.h"
#include "platform/codepage.h"

namespace numtools {
namespace {

class DupCheckTest : public testing::TempFolderTest {
 protected:
  static std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> out;
    std::string all = Read(path);
    for (std::size_t pos = 0, lf; (lf = all.find("\r\n", pos)) != std::string::npos; pos = lf + 2)
      out.push_back(all.substr(pos, lf - pos));
    return out;
  }
};

TEST(NumberMapTest, OrdersBytewiseAndTheLastPutWins) {
  NumberMap map;
  const std::string_view a[4] = {"a", "", "", ""};
  const std::string_view longer[4] = {"a much longer text", "x", "y", "z"};
  const std::string_view shorter[4] = {"b", "", "", ""};
  map.Put("0212345678", a);
  map.Put("01012345678", a);
  map.Put("9", a);
  map.Put("02", a);
  map.Put("0212345678", longer);
  map.Put("9", longer);
  EXPECT_EQ(map.size(), 4u);
  // A put after the map was read is merged in as well; numbers longer than
  // the packed 16 digits keep their order.
  map.Put("9", shorter);
  map.Put("01234567890123456789", a);
  map.Put("0123456789012345678", shorter);
  map.Put("01234567890123456789", shorter);
  std::vector<std::string> got;
  map.ForEach([&](const NumberMap::Entry& e) {
    got.push_back(std::string(e.digits) + "," + std::string(e.info[0]) + "," + std::string(e.info[1]) + "," +
                  std::string(e.info[2]) + "," + std::string(e.info[3]));
  });
  EXPECT_EQ(got, (std::vector<std::string>{"01012345678,a,,,", "0123456789012345678,b,,,", "01234567890123456789,b,,,",
                                           "02,a,,,", "0212345678,a much longer text,x,y,z", "9,b,,,"}));
  map.Clear();
  EXPECT_EQ(map.size(), 0u);
  EXPECT_EQ(map.MemoryUsed(), 0u);
}

TEST(NumberMapTest, NumbersPutAgainAndAgainKeepTheLastAndDoNotPileUp) {
  NumberMap map;
  for (int i = 0; i < 300000; ++i) {
    const std::string info = std::to_string(i);
    const std::string_view fields[4] = {info, "", "", ""};
    map.Put("0101234" + std::to_string(1000 + i % 1000), fields);
  }
  ASSERT_EQ(map.size(), 1000u);
  int checked = 0;
  map.ForEach([&](const NumberMap::Entry& e) {
    const int n = std::stoi(std::string(e.digits.substr(7))) - 1000;
    EXPECT_EQ(e.info[0], std::to_string(299000 + n));
    ++checked;
  });
  EXPECT_EQ(checked, 1000);
}

TEST(NumberMapTest, HoldsANumberInFarLessThanAMapOfStrings) {
  NumberMap map;
  const std::string_view info[4] = {"홍길동", "서울시 강남구", "", ""};
  constexpr int kNumbers = 200000;
  for (int i = 0; i < kNumbers; ++i) map.Put("010" + std::to_string(10000000 + i * 7), info);
  const double per_number = static_cast<double>(map.MemoryUsed()) / kNumbers;
  EXPECT_LT(per_number, 100.0);
}

TEST(DupCheckNamesTest, OutputFileNames) {
  const struct {
    const char* name;
    int part;
    const char* want;
  } cases[] = {
      {"out.csv", 0, "out.csv"},       {"out.csv", 3, "out_3.csv"},        {"out", 0, "out.txt"},
      {"out", 2, "out_2.txt"},         {"a.b/c.d.txt", 1, "a.b/c.d_1.txt"},
      // A dot in a folder name is no extension dot.
      {"dir.x/out", 0, "dir.x/out.txt"}, {"dir.x/out", 1, "dir.x/out_1.txt"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OutputFileName(c.name, c.part), c.want) << c.name;
  }
}

TEST(DupCheckNamesTest, Cp949PrefixCutsAtAWholeCharacter) {
  const std::string hangul = platform::Utf8ToCp949("가나다");  // 6 bytes
  EXPECT_EQ(Cp949Prefix(hangul, 5), hangul.substr(0, 4));
  EXPECT_EQ(Cp949Prefix(hangul, 6), hangul);
  EXPECT_EQ(Cp949Prefix("a" + hangul, 2), "a");
  EXPECT_EQ(Cp949Prefix("abc", 2), "ab");
}

TEST_F(DupCheckTest, TwoFilesSharingANumberKeepTheLastReadAndCountOneDuplicate) {
  const std::string a = Write("a.csv", "010-1111-2222,first,x\r\n02-333-4444,kim\r\n");
  const std::string b = Write("b.txt", "01011112222,second,y,z,w\r\n");
  DupChecker checker;
  DupCheckResult r = checker.Run({a, b}, Path("out.csv"));
  ASSERT_EQ(r.status, DupCheckStatus::kDone);
  EXPECT_EQ(r.read, 3);
  EXPECT_EQ(r.distinct, 2);
  EXPECT_EQ(r.duplicates(), 1);
  EXPECT_EQ(r.written, 2);
  EXPECT_EQ(Lines(Path("out.csv")), (std::vector<std::string>{"01011112222,second,y,z,w", "023334444,kim,,,"}));
}

TEST_F(DupCheckTest, LinesAsTheImportSplitsThem) {
  // Short and blank lines are skipped, runs of commas collapse, a header
  // without digits is left out, text after a last carriage return goes.
  const std::string in = Write("in.csv",
                               "\r\n"
                               "123456\r\n"
                               "전화번호,이름\r\n"
                               ",,0311234567,,,lee,,park\r\n"
                               "0319876543,a,b\rjunk\n"
                               "0315551234,no newline at the end");
  DupChecker checker;
  DupCheckResult r = checker.Run({in}, Path("out"));
  ASSERT_EQ(r.status, DupCheckStatus::kDone);
  EXPECT_EQ(r.read, 3);
  EXPECT_EQ(r.skipped, 1);
  EXPECT_EQ(r.outputs, std::vector<std::string>{Path("out.txt")});
  EXPECT_EQ(Lines(Path("out.txt")), (std::vector<std::string>{"0311234567,lee,park,,", "0315551234,no newline at the end,,,",
                                                               "0319876543,a,b,,"}));
}

TEST_F(DupCheckTest, Utf8InputIsWrittenInCodePage949AndLongInformationIsCut) {
  std::string long_info;
  for (int i = 0; i < 60; ++i) long_info += "가";  // 120 bytes in code page 949
  const std::string in = Write("u.csv", "\xEF\xBB\xBF" "0101234567,홍길동," + long_info + "\n");
  DupChecker checker;
  DupCheckResult r = checker.Run({in}, Path("o.csv"));
  ASSERT_EQ(r.status, DupCheckStatus::kDone);
  EXPECT_EQ(r.cut_fields, 1);
  std::string cut;
  for (int i = 0; i < 50; ++i) cut += "가";
  EXPECT_EQ(Read(Path("o.csv")), platform::Utf8ToCp949("0101234567,홍길동," + cut + ",,\r\n"));
}

TEST_F(DupCheckTest, SplitModeWritesFilesOfTheGivenSize) {
  std::string text;
  for (int i = 0; i < 25000; ++i) text += "010" + std::to_string(20000000 + i) + ",info\r\n";
  const std::string in = Write("big.csv", text);
  DupCheckOptions o;
  o.rows_per_file = 10000;
  long last_written = 0, reports = 0;
  DupCheckCallbacks cb;
  cb.writing = [&](long written, long total) {
    EXPECT_EQ(total, 25000);
    EXPECT_EQ(written % 10, 1);
    last_written = written;
    ++reports;
  };
  DupChecker checker(o, cb);
  DupCheckResult r = checker.Run({in}, Path("name.ext"));
  ASSERT_EQ(r.status, DupCheckStatus::kDone);
  EXPECT_EQ(r.outputs, (std::vector<std::string>{Path("name_1.ext"), Path("name_2.ext"), Path("name_3.ext")}));
  EXPECT_EQ(Lines(Path("name_1.ext")).size(), 10000u);
  EXPECT_EQ(Lines(Path("name_2.ext")).size(), 10000u);
  const auto third = Lines(Path("name_3.ext"));
  ASSERT_EQ(third.size(), 5000u);
  EXPECT_EQ(third.back(), "01020024999,info,,,");
  EXPECT_EQ(Lines(Path("name_2.ext")).front(), "01020010000,info,,,");
  EXPECT_EQ(reports, 2500);
  EXPECT_EQ(last_written, 24991);
}

TEST_F(DupCheckTest, FailuresEndTheRunWithoutOutput) {
  const std::string good = Write("g.csv", "0101234567,a\n");
  {
    DupChecker checker;
    DupCheckResult r = checker.Run({good, Path("missing.csv")}, Path("o.csv"));
    EXPECT_EQ(r.status, DupCheckStatus::kInputOpenFailed);
    EXPECT_EQ(r.failed_path, Path("missing.csv"));
  }
  {
    const std::string binary = Write("b.csv", std::string("0101234567,a\0b\n", 15));
    DupChecker checker;
    EXPECT_EQ(checker.Run({binary}, Path("o.csv")).status, DupCheckStatus::kInputNotText);
  }
  {
    int polls = 0;
    DupCheckCallbacks cb;
    cb.stop = [&] { return ++polls > 1; };
    const std::string two = Write("t.csv", "0101234567,a\n0101234568,b\n");
    DupChecker checker({}, cb);
    EXPECT_EQ(checker.Run({two}, Path("o.csv")).status, DupCheckStatus::kStopped);
  }
  EXPECT_FALSE(std::filesystem::exists(Path("o.csv")));
  {
    DupChecker checker;
    DupCheckResult r = checker.Run({good}, Path("no/such/folder/o.csv"));
    EXPECT_EQ(r.status, DupCheckStatus::kOutputOpenFailed);
  }
  if (std::filesystem::exists("/dev/full")) {
    // A full disk is a failure, not a success with a cut file.
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "010" + std::to_string(30000000 + i) + ",info\n";
    DupChecker checker;
    std::filesystem::create_symlink("/dev/full", Path("full.txt"));
    DupCheckResult r = checker.Run({Write("f.csv", text)}, Path("full"));
    EXPECT_EQ(r.status, DupCheckStatus::kOutputWriteFailed);
  }
}

}  // namespace
}  // namespace numtools
