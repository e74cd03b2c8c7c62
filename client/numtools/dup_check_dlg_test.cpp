#include "client/numtools/dup_check_dlg.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "client/numtools/test_files.h"
#include "ui/testhost/test_host.h"

namespace {

class DupCheckDlgTest : public numtools::testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    std::filesystem::create_directories(dir_ / "in");
    env_.SetApp(&app_);
  }
  // The user adds the files and chooses the output through the file dialog.
  void Choose(ui::Dialog& d, const std::vector<std::string>& inputs, const std::string& output) {
    for (const auto& f : inputs) {
      host_.AnswerFileDialog({f});
      ASSERT_TRUE(host_.Click(d, CDlgDupCheck::kAddFile));
    }
    host_.AnswerFileDialog({output});
    ASSERT_TRUE(host_.Click(d, CDlgDupCheck::kChooseOutput));
  }
  std::string Status(ui::Dialog& d, int id) { return d.Get<ui::Static>(id).Text(); }

  ui::TestHost host_;
  ui::App app_{host_};
  CTellomarEnv env_;
  platform::ProfileStore profile_{(std::filesystem::temp_directory_path() /
                                   ("tellomar_dupcheck_profile." + std::to_string(getpid()) + ".ini"))
                                      .string()};
};

TEST_F(DupCheckDlgTest, TwoFilesSharingANumberIntoAFileWithoutExtension) {
  const std::string a = Write("in/a.csv", "010-1111-2222,first\r\n02-333-4444,kim\r\n");
  const std::string b = Write("in/b.txt", "01011112222,second\r\n");
  CDlgDupCheck dlg(app_, env_, &profile_);
  std::string file_status, summary;
  host_.AnswerDialog([&](ui::Dialog& d) {
    Choose(d, {a, b}, Path("result"));
    EXPECT_EQ(d.Get<ui::Edit>(CDlgDupCheck::kOutputName).Text(), Path("result"));
    EXPECT_FALSE(d.Get<ui::Edit>(CDlgDupCheck::kRowsPerFile).Enabled());
    host_.AnswerMessageBox(ui::IDYES);
    host_.Click(d, CDlgDupCheck::kRun);
    file_status = Status(d, CDlgDupCheck::kFileText);
    summary = Status(d, CDlgDupCheck::kProgressText);
    EXPECT_TRUE(d.Get<ui::Button>(CDlgDupCheck::kRun).Enabled());
    EXPECT_FALSE(d.Get<ui::Button>(CDlgDupCheck::kStop).Enabled());
    host_.PressEscape(d);
  });
  dlg.DoModal();
  EXPECT_EQ(Read(Path("result.txt")), "01011112222,second,,,\r\n023334444,kim,,,\r\n");
  EXPECT_EQ(file_status, "[" + b + "] 처리중");
  EXPECT_EQ(summary, "전체건수 3, 중복건수 1 생성건수 2...");
  const auto boxes = host_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, dupmsg::kAskRun);
  EXPECT_EQ(boxes[0].type, ui::MB_YESNO | ui::MB_ICONQUESTION);
  EXPECT_EQ(boxes[1].text, "중복 번호 추출 완료");
  EXPECT_EQ(boxes[1].caption, "확인");
  // The folder of the last chosen file is kept for the next dialog.
  EXPECT_EQ(profile_.GetProfileString(platform::kProfileSection, kDupCheckRecentFolderEntry, ""), dir_.string());
  EXPECT_TRUE(host_.faults().empty()) << host_.faults().front();
  std::filesystem::remove(profile_.file());
}

TEST_F(DupCheckDlgTest, SplitModeAsksBeforeOverwritingAndChecksTheRowCount) {
  std::string text;
  for (int i = 0; i < 25; ++i) text += "010" + std::to_string(20000000 + i) + ",x\n";
  const std::string in = Write("in/n.csv", text);
  Write("out_1.csv", "old\n");
  CDlgDupCheck dlg(app_, env_);
  host_.AnswerDialog([&](ui::Dialog& d) {
    Choose(d, {in}, Path("out.csv"));
    host_.Click(d, CDlgDupCheck::kSplit);
    EXPECT_TRUE(d.Get<ui::Edit>(CDlgDupCheck::kRowsPerFile).Enabled());
    host_.Type(d, CDlgDupCheck::kRowsPerFile, "9");
    host_.Click(d, CDlgDupCheck::kRun);  // refused by the range check
    host_.Type(d, CDlgDupCheck::kRowsPerFile, "10");
    host_.AnswerMessageBox(ui::IDYES).AnswerMessageBox(ui::IDNO);
    host_.Click(d, CDlgDupCheck::kRun);  // no overwrite
    EXPECT_EQ(Read(Path("out_1.csv")), "old\n");
    host_.AnswerMessageBox(ui::IDYES).AnswerMessageBox(ui::IDYES);
    host_.Click(d, CDlgDupCheck::kRun);
    host_.PressEscape(d);
  });
  dlg.DoModal();
  const auto boxes = host_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 6u);
  EXPECT_EQ(boxes[0].text, "10에서 99999999 사이의 정수를 입력하십시오.");
  EXPECT_EQ(boxes[2].text, "(" + Path("out_1.csv") + ")화일이 이미 존재 합니다. 덮어 쓰시겠습니까 ?");
  EXPECT_EQ(Read(Path("out_3.csv")), "01020000020,x,,,\r\n01020000021,x,,,\r\n01020000022,x,,,\r\n01020000023,x,,,\r\n"
                                     "01020000024,x,,,\r\n");
  EXPECT_TRUE(std::filesystem::exists(Path("out_2.csv")));
  EXPECT_FALSE(std::filesystem::exists(Path("out_4.csv")));
}

TEST_F(DupCheckDlgTest, MissingChoicesStopAndFailures) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "010" + std::to_string(20000000 + i) + ",x\n";
  const std::string in = Write("in/n.csv", text);
  CDlgDupCheck dlg(app_, env_);
  host_.AnswerDialog([&](ui::Dialog& d) {
    host_.Click(d, CDlgDupCheck::kRun);
    EXPECT_EQ(d.Focus(), CDlgDupCheck::kAddFile);
    host_.Click(d, CDlgDupCheck::kRemove);
    host_.AnswerFileDialog({in});
    host_.Click(d, CDlgDupCheck::kAddFile);
    host_.Click(d, CDlgDupCheck::kRun);
    EXPECT_EQ(d.Focus(), CDlgDupCheck::kChooseOutput);
    host_.Type(d, CDlgDupCheck::kOutputName, Path("o.csv"));
    // The user presses stop while the lines are read.
    host_.AnswerMessageBox(ui::IDYES);
    app_.dispatcher().Post([&] { host_.Click(d, CDlgDupCheck::kStop); });
    host_.Click(d, CDlgDupCheck::kRun);
    EXPECT_TRUE(d.Get<ui::Button>(CDlgDupCheck::kRun).Enabled());
    // An input that went away.
    host_.AnswerFileDialog({Path("in/gone.csv")});
    host_.Click(d, CDlgDupCheck::kAddFile);
    host_.AnswerMessageBox(ui::IDYES);
    host_.Click(d, CDlgDupCheck::kRun);
    // Removing the selected entries leaves the first file.
    host_.ClickRow(d, CDlgDupCheck::kInputList, 1);
    host_.Click(d, CDlgDupCheck::kRemove);
    EXPECT_EQ(d.Get<ui::ReportList>(CDlgDupCheck::kInputList).ItemCount(), 1);
    host_.Type(d, CDlgDupCheck::kOutputName, Path("no/such/folder/o.csv"));
    host_.AnswerMessageBox(ui::IDYES);
    host_.Click(d, CDlgDupCheck::kRun);
    host_.PressEscape(d);
  });
  dlg.DoModal();
  std::vector<std::string> texts;
  for (const auto& b : host_.MessageBoxes()) texts.push_back(b.text + "|" + b.caption);
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "중복 검사 할 화일을 선택해 주십시오|에러",
                       "선택된 데이터가 없습니다|확인",
                       "중복 검사 후 저장할 화일명을 선택해 주십시오|에러",
                       std::string(dupmsg::kAskRun) + "|확인",
                       "중지됨|확인",
                       std::string(dupmsg::kAskRun) + "|확인",
                       "(" + Path("in/gone.csv") + ")화일을 열수 없습니다.|에러",
                       std::string(dupmsg::kAskRun) + "|확인",
                       "저장할 파일을 열수 없습니다.(" + Path("no/such/folder/o.csv") + ")|파일 열기 에러",
                   }));
  EXPECT_FALSE(std::filesystem::exists(Path("o.csv")));
  EXPECT_TRUE(host_.faults().empty()) << host_.faults().front();
}

TEST_F(DupCheckDlgTest, ClosingDuringARunStopsItAndThenCloses) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "010" + std::to_string(20000000 + i) + ",x\n";
  const std::string in = Write("in/n.csv", text);
  CDlgDupCheck dlg(app_, env_);
  host_.AnswerDialog([&](ui::Dialog& d) {
    Choose(d, {in}, Path("o.csv"));
    host_.AnswerMessageBox(ui::IDYES);
    app_.dispatcher().Post([&] { host_.PressEscape(d); });
    host_.Click(d, CDlgDupCheck::kRun);
  });
  EXPECT_EQ(dlg.DoModal(), ui::IDCANCEL);
  EXPECT_EQ(host_.MessageBoxes().size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(Path("o.csv")));
  EXPECT_TRUE(host_.faults().empty()) << host_.faults().front();
}

}  // namespace
