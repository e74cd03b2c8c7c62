#include "client/numtools/create_rdd_dlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "ui/testhost/test_host.h"

namespace {

class CreateRddTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.SetApp(&app_);
    for (int c = 0; c < 6; ++c) list_.InsertColumn(c, "c" + std::to_string(c), 50);
  }
  std::vector<std::string> Numbers() const {
    std::vector<std::string> out;
    for (int i = 0; i < list_.ItemCount(); ++i) out.push_back(list_.ItemText(i, 1));
    return out;
  }
  // Runs the dialog; the user types the ranges and presses create.
  int Run(const std::string& ranges) {
    CDlgCreateRDD dlg(app_, env_, list_);
    host_.AnswerDialog([&](ui::Dialog& d) {
      host_.Type(d, CDlgCreateRDD::kRanges, ranges);
      host_.Click(d, CDlgCreateRDD::kCreate);
      if (!d.ended()) host_.PressEscape(d);
    });
    return dlg.DoModal();
  }
  static std::vector<std::string> Range(const std::string& prefix) {
    std::vector<std::string> out;
    char buf[64];
    for (int n = 1; n <= 9999; ++n) {
      std::snprintf(buf, sizeof buf, "%s-%04d", prefix.c_str(), n);
      out.push_back(buf);
    }
    return out;
  }

  ui::TestHost host_;
  ui::App app_{host_};
  CTellomarEnv env_;
  ui::Dialog owner_{app_, "send", ui::Rect{0, 0, 200, 200}};
  ui::ReportList& list_ = owner_.AddReportList(1, {0, 0, 200, 200});
};

TEST_F(CreateRddTest, OneRangeGivesEveryNumberOnceInRandomOrder) {
  list_.AppendRow({"1", "old row"});
  ASSERT_EQ(Run("0212"), ui::IDOK);
  std::vector<std::string> got = Numbers();
  ASSERT_EQ(got.size(), 9999u);
  EXPECT_FALSE(std::is_sorted(got.begin(), got.end()));
  // The running numbers count 1, 2, ... in list order; the information is empty.
  EXPECT_EQ(list_.ItemText(0, 0), "1");
  EXPECT_EQ(list_.ItemText(9998, 0), "9999");
  EXPECT_EQ(list_.ItemText(17, 2), "");
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, Range("0212"));
  ASSERT_EQ(host_.MessageBoxes().size(), 1u);
  EXPECT_EQ(host_.MessageBoxes()[0].text, "생성건수:9999\r\n");
  EXPECT_EQ(host_.MessageBoxes()[0].caption, "확인");
  EXPECT_TRUE(host_.faults().empty());
}

TEST_F(CreateRddTest, ABlankLineIsARangeOfItsOwn) {
  ASSERT_EQ(Run("0212\r\n\r\n0213\r\n"), ui::IDOK);
  std::vector<std::string> got = Numbers();
  ASSERT_EQ(got.size(), 3u * 9999u);
  // Drawn over all candidates: the first rows come from every range, not
  // only from the front of the list.
  std::set<std::string> first_prefixes;
  for (int i = 0; i < 100; ++i) first_prefixes.insert(got[i].substr(0, got[i].size() - 5));
  EXPECT_EQ(first_prefixes.size(), 3u);
  std::vector<std::string> want = Range("0212");
  for (const auto& v : {Range(""), Range("0213")}) want.insert(want.end(), v.begin(), v.end());
  std::sort(got.begin(), got.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(got, want);
  EXPECT_EQ(host_.MessageBoxes().back().text, "생성건수:29997\r\n");
}

TEST_F(CreateRddTest, EmptyTextAndTooLongPrefixesAreRefused) {
  list_.AppendRow({"1", "old row"});
  EXPECT_EQ(Run(""), ui::IDCANCEL);
  EXPECT_EQ(list_.ItemCount(), 0);
  EXPECT_EQ(Run("0212\r\n12345678901234567890123456"), ui::IDCANCEL);
  EXPECT_EQ(list_.ItemCount(), 0);
  // 25 characters fit.
  EXPECT_EQ(Run("1234567890123456789012345"), ui::IDOK);
  EXPECT_EQ(list_.ItemText(0, 1).size(), 30u);
  const auto boxes = host_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, "전화번호 대역을 입력하세요");
  EXPECT_EQ(boxes[0].caption, "알림");
  EXPECT_EQ(boxes[1].text, "라인(2) 전화번호 대역(12345678901234567890123456)은 영문 25자 이내이어야 합니다.");
}

TEST_F(CreateRddTest, CancelDuringGenerationKeepsWhatWasGenerated) {
  CDlgCreateRDD dlg(app_, env_, list_);
  host_.AnswerDialog([&](ui::Dialog& d) {
    host_.Type(d, CDlgCreateRDD::kRanges, "0212\r\n0213");
    // The user presses Escape while the numbers are made.
    app_.dispatcher().Post([&] { host_.PressEscape(d); });
    host_.Click(d, CDlgCreateRDD::kCreate);
  });
  EXPECT_EQ(dlg.DoModal(), ui::IDOK);
  const int rows = list_.ItemCount();
  EXPECT_GT(rows, 0);
  EXPECT_LT(rows, 9999);
  std::vector<std::string> got = Numbers();
  std::sort(got.begin(), got.end());
  std::vector<std::string> want = Range("0212");
  want.resize(static_cast<std::size_t>(rows));
  EXPECT_EQ(got, want);
  ASSERT_EQ(host_.MessageBoxes().size(), 1u);
  EXPECT_EQ(host_.MessageBoxes()[0].text, "생성건수:" + std::to_string(rows) + "\r\n");
  EXPECT_TRUE(host_.faults().empty());
}

}  // namespace
