#include "client/frame/main_frame.h"

#include <gtest/gtest.h>

#include <map>

#include "client/frame/frame_fixture.h"
#include "client/frame/login_dlg.h"
#include "client/import/paste_data_dlg.h"
#include "client/numtools/create_rdd_dlg.h"
#include "client/senddata/send_data_view.h"

namespace {

class MainFrameTest : public FrameFixture {
 protected:
  bool Create(bool notice_thread = false) {
    CMainFrame::Options o;
    o.start_notice_thread = notice_thread;
    o.end_program = [this](int code) { ended_with_.push_back(code); };
    o.open_url = [this](std::string_view url) {
      opened_.emplace_back(url);
      return open_ok_;
    };
    RegisterScreens(the_app_);
    options_.create_main_frame = [this, o](CTellomarApp& a) {
      frame_ = std::make_unique<CMainFrame>(app_, a, o);
      return frame_->CreateFrame();
    };
    return the_app_.InitInstance(options_);
  }
  // The first tick of timer 0 with the login dialog answered by a login.
  // guide answers the guideline dialog that follows the login, when given.
  void Login(const std::string& id, const std::string& password, ui::TestHost::DialogAction guide = {}) {
    host_.AnswerDialog([=, this](ui::Dialog& d) {
      host_.Type(d, CDlgLogin::kLoginId, id);
      host_.Type(d, CDlgLogin::kPassword, password);
      host_.Click(d, ui::IDOK);
    });
    if (guide) host_.AnswerDialog(guide);
    host_.Advance(10);
  }
  std::vector<int> EnabledFlagged() const {
    std::vector<int> out;
    for (int id : FlaggedCommands())
      if (frame_->CommandEnabled(id)) out.push_back(id);
    return out;
  }
  bool MenuHas(int id) const {
    for (const auto& popup : frame_->Menu())
      for (const auto& item : popup.items)
        if (item.id == id) return true;
    return false;
  }
  std::vector<std::string> DialogCaptions() const {
    std::vector<std::string> out;
    for (const auto& m : host_.modals())
      if (m.kind == ui::TestHost::ModalKind::Dialog) out.push_back(m.caption);
    return out;
  }

  std::unique_ptr<CMainFrame> frame_;
  std::vector<int> ended_with_;
  std::vector<std::string> opened_;
  bool open_ok_ = true;
};

TEST_F(MainFrameTest, WithoutConfigurationTheFrameFailsWithExitCodeOne) {
  WriteIni("");
  EXPECT_FALSE(Create());
  EXPECT_EQ(ended_with_, std::vector<int>{1});
  auto boxes = host_.MessageBoxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, "환경 정보를 읽을수 없습니다.\r\n프로그램을 종료 합니다.");
  EXPECT_EQ(boxes.back().type, ui::MB_OK | ui::MB_ICONERROR);
}

TEST_F(MainFrameTest, CreationSetsTitleBarsAndArmsTheLoginTimer) {
  options_.command_line = "127.0.0.1";
  ASSERT_TRUE(Create());
  EXPECT_EQ(frame_->Caption(), "Tellomar(127.0.0.1)");
  EXPECT_EQ(frame_->StatusText(), "준비");
  EXPECT_EQ(frame_->Toolbar(), MainToolbar());
  EXPECT_EQ(frame_->CommandPrompt(32773), "ORV 통보 완료된 데이터를 조회 합니다.");
  // Armed with 0 ms, which the platform counts as its shortest interval.
  EXPECT_EQ(host_.Timers(*frame_),
            (std::map<unsigned, unsigned>{{CMainFrame::kLoginTimer, ui::TestHost::kMinTimerMs}}));
  EXPECT_NE(env_.m_hRDB, 0u);
  EXPECT_TRUE(host_.MessageBoxes().empty());
  // Cancel at the login ends the program; the timer does not come again.
  host_.AnswerDialog(ui::IDCANCEL);
  host_.Advance(10);
  host_.Advance(1000);
  EXPECT_EQ(ended_with_, std::vector<int>{1});
  EXPECT_EQ(DialogCaptions(), std::vector<std::string>{"로그인"});
}

TEST_F(MainFrameTest, CustomerWithoutSurveySeesTheGuidelineAndLosesTheSurveyCommands) {
  ASSERT_TRUE(Create());
  AddUser("user1", "pw");
  AddService(1, "user1", 1);
  Login("user1", "pw", [&](ui::Dialog& g) {
    EXPECT_EQ(g.Get<ui::Edit>(CDlgSpamGuide::kText).Text(), CDlgSpamGuide::kGuideText);
    open_ok_ = false;
    host_.Click(g, CDlgSpamGuide::kKisa);
    open_ok_ = true;
    host_.Click(g, CDlgSpamGuide::kKisa);
    host_.Click(g, ui::IDOK);
  });
  EXPECT_EQ(DialogCaptions(), (std::vector<std::string>{"로그인", "스팸방지가이드라인 주요내용"}));
  EXPECT_EQ(opened_, (std::vector<std::string>{"https://www.kisa.or.kr", "https://www.kisa.or.kr"}));
  EXPECT_EQ(env_.m_nUseResearch, 0);
  EXPECT_TRUE(MenuHas(32789));
  for (int id : {32849, 32851, 32852, 32853}) EXPECT_FALSE(frame_->CommandEnabled(id)) << id;
  EXPECT_EQ(EnabledFlagged().size(), FlaggedCommands().size() - 4);
  // The guideline's browser message, then the IPT message (no USE_IPT row).
  auto boxes = host_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "인터넷 브라우져를 찾을수 없습니다.");
  EXPECT_EQ(boxes[0].caption, "확인");
  EXPECT_EQ(boxes[0].type, ui::MB_OK | ui::MB_ICONERROR);
  EXPECT_EQ(boxes[1].text, "IPT 정보 읽기 오류. 다시 시도하여 주십시오");
  EXPECT_EQ(boxes[1].caption, "에러");
  EXPECT_TRUE(ended_with_.empty());
  EXPECT_TRUE(host_.faults().empty()) << host_.faults()[0];
}

TEST_F(MainFrameTest, SurveyUserLosesTheCallbacksItemAndAgentKeepsOnlyIt) {
  ASSERT_TRUE(Create());
  AddIpt();
  AddUser("user1", "pw");
  AddService(1, "user1", 4);
  AddAgent("user1", "kim", "apw");
  Login("user1", "pw");
  EXPECT_EQ(env_.m_nUseResearch, 1);
  EXPECT_FALSE(MenuHas(32789));
  EXPECT_EQ(frame_->Menu()[0].items.size(), MainMenu()[0].items.size() - 1);
  EXPECT_FALSE(frame_->CommandEnabled(32789));
  EXPECT_EQ(EnabledFlagged().size(), FlaggedCommands().size() - 1);
  EXPECT_EQ(DialogCaptions(), std::vector<std::string>{"로그인"});  // no guideline
  EXPECT_TRUE(host_.MessageBoxes().empty());

  // An agent of a customer without a survey service: only the callbacks screen.
  frame_.reset();
  Exec("delete from SERVICE_INFO");
  env_.RDBServerClose();
  ASSERT_TRUE(Create());
  Login("kim@user1", "apw", [](ui::Dialog& g) { g.EndDialog(ui::IDOK); });
  EXPECT_EQ(EnabledFlagged(), std::vector<int>{32789});
  for (int id : {57665, 57664, 59392, 59393, 57650}) EXPECT_TRUE(frame_->CommandEnabled(id)) << id;
  EXPECT_FALSE(frame_->Command(32771));
  EXPECT_TRUE(frame_->Command(32789));
  EXPECT_EQ(frame_->ActiveView()->Title(), "콜백 자료 조회");
}

TEST_F(MainFrameTest, EveryCommandOpensItsScreenOnceOrItsDialog) {
  ASSERT_TRUE(Create());
  AddIpt();
  AddUser("user1", "pw");
  AddService(1, "user1", 4);
  Login("user1", "pw");
  int screens = 0;
  for (int id : FlaggedCommands()) {
    if (!frame_->CommandEnabled(id)) continue;
    SCOPED_TRACE(id);
    if (const ScreenInfo* s = ScreenForCommand(id)) {
      ASSERT_TRUE(frame_->Command(id));
      ui::FormView* first = frame_->ActiveView();
      ASSERT_NE(first, nullptr);
      EXPECT_EQ(first->Title(), s->title);
      EXPECT_EQ(frame_->ViewClassOf(first), s->view_class);
      ++screens;
    } else {
      // The built dialogs carry their own captions; the others the command's title.
      static const std::map<int, std::string> kBuilt = {
          {32788, "수신 거부 등록"}, {32811, "중복 번호 검사"}, {32848, "데이터 삭제"}};
      const auto built = kBuilt.find(id);
      const std::size_t before = host_.modals().size();
      host_.AnswerDialog(ui::IDCANCEL);
      ASSERT_TRUE(frame_->Command(id));
      ASSERT_EQ(host_.modals().size(), before + 1);
      EXPECT_EQ(host_.modals().back().caption, built != kBuilt.end() ? built->second : ModalForCommand(id)->title);
    }
  }
  EXPECT_EQ(static_cast<int>(frame_->Views().size()), screens);
  // A second command activates the first instance.
  ui::FormView* send = frame_->Views()[0];
  ASSERT_TRUE(frame_->Command(32771));
  EXPECT_EQ(frame_->ActiveView(), send);
  EXPECT_EQ(static_cast<int>(frame_->Views().size()), screens);
  // The analysis screen of the survey results opens through the registry too.
  ASSERT_NE(frame_->OpenScreen("CFrmQueryRstElecResearch"), nullptr);
  EXPECT_EQ(frame_->ActiveView()->Title(), "선거용 여론조사");
  // Closing a screen lets the command open a new one.
  host_.Click(*send, CPlaceholderView::kClose);
  host_.Pump();
  ASSERT_TRUE(frame_->Command(32771));
  EXPECT_NE(frame_->ActiveView(), nullptr);
  EXPECT_EQ(frame_->ActiveView()->Title(), "데이터 가져오기 및 전송");
  EXPECT_TRUE(host_.faults().empty());
}

TEST_F(MainFrameTest, TheSendScreenFillsItsListThroughTheImportPasteAndRangeDialogs) {
  ASSERT_TRUE(Create());
  AddIpt();
  AddUser("user1", "pw");
  AddService(1, "user1", 4);
  Login("user1", "pw");
  ASSERT_TRUE(frame_->Command(32771));
  auto* view = dynamic_cast<CDlgSendData*>(frame_->ActiveView());
  ASSERT_NE(view, nullptr);
  auto& list = view->Get<ui::ReportList>(CDlgSendData::kList);

  host_.AnswerDialog(ui::IDCANCEL);
  ASSERT_TRUE(host_.Click(*view, CDlgSendData::kImport));
  EXPECT_EQ(host_.modals().back().caption, "파일로부터 가져오기");

  host_.AnswerDialog([this](ui::Dialog& d) {
    host_.Type(d, CDlgPasteData::kText, "010-1234-5678\t김\n0212345678\n");
    host_.Click(d, 1007);
  });
  ASSERT_TRUE(host_.Click(*view, CDlgSendData::kPaste));
  ASSERT_EQ(list.ItemCount(), 2);
  EXPECT_EQ(list.ItemText(0, 1), "010-1234-5678");
  EXPECT_EQ(list.ItemText(0, 2), "김");

  host_.AnswerDialog([this](ui::Dialog& d) {
    host_.Type(d, CDlgCreateRDD::kRanges, "0212");
    host_.Click(d, CDlgCreateRDD::kCreate);
  });
  ASSERT_TRUE(host_.Click(*view, CDlgSendData::kCreateRdd));
  EXPECT_EQ(list.ItemCount(), 9999);
  EXPECT_TRUE(host_.faults().empty()) << host_.faults().front();
}

TEST_F(MainFrameTest, ClosedScreensGiveTheirCommandFreeAndSharedFlagsMoveTogether) {
  ASSERT_TRUE(Create());
  frame_->SetDisabled(32850, true);
  EXPECT_FALSE(frame_->CommandEnabled(32854));
  EXPECT_TRUE(frame_->Disabled(32854));
  frame_->SetDisabled(32854, false);
  EXPECT_TRUE(frame_->CommandEnabled(32850));

  ui::FormView* v = frame_->OpenScreen("CDlgQueryReqORV");
  ASSERT_NE(v, nullptr);
  frame_->SetDisabled(32772, true);
  frame_->CloseView(v);
  EXPECT_TRUE(frame_->CommandEnabled(32772));
  // The send screen keeps its flag as it is.
  v = frame_->OpenScreen("CDlgSendData");
  frame_->SetDisabled(32771, true);
  frame_->CloseView(v);
  EXPECT_FALSE(frame_->CommandEnabled(32771));
}

TEST_F(MainFrameTest, CloseAsksFirstAndSavesTheBackgroundSettings) {
  ASSERT_TRUE(Create());
  frame_->mdi_client().display_mode = CMDIClientWnd::kStretch;
  frame_->mdi_client().file_name = "/tmp/배경.bmp";
  host_.AnswerMessageBox(ui::IDNO);
  EXPECT_TRUE(frame_->Command(57665));
  EXPECT_TRUE(frame_->created());
  auto box = host_.MessageBoxes().back();
  EXPECT_EQ(box.text, "종료 하시겠습니까?");
  EXPECT_EQ(box.caption, "확인");
  EXPECT_EQ(box.type, ui::MB_YESNO | ui::MB_ICONQUESTION);
  host_.AnswerMessageBox(ui::IDYES);
  frame_->OnClose();
  EXPECT_FALSE(frame_->created());
  CMDIClientWnd back;
  back.Load(the_app_.Profile());
  EXPECT_EQ(back.display_mode, CMDIClientWnd::kStretch);
  EXPECT_EQ(back.file_name, "/tmp/배경.bmp");
  EXPECT_EQ(back.bk_color, CMDIClientWnd::kDefaultBkColor);
}

TEST(MdiClientTest, LayoutOfTheFourModes) {
  CMDIClientWnd w;
  EXPECT_TRUE(w.Layout(100, 50, 0, 0).copies.empty());  // no bitmap
  auto tile = w.Layout(100, 50, 40, 30);
  EXPECT_FALSE(tile.buffered);
  EXPECT_EQ(tile.copies.size(), 6u);  // 3 across, 2 down
  EXPECT_EQ(tile.copies.back(), (ChildRect{80, 30, 40, 30}));
  w.display_mode = CMDIClientWnd::kCenter;
  EXPECT_EQ(w.Layout(100, 50, 40, 30).copies, (std::vector<ChildRect>{{30, 10, 40, 30}}));
  w.display_mode = CMDIClientWnd::kStretch;
  EXPECT_EQ(w.Layout(100, 50, 40, 30).copies, (std::vector<ChildRect>{{0, 0, 100, 50}}));
  w.display_mode = CMDIClientWnd::kAtOrigin;
  w.origin_x = 5;
  w.origin_y = 7;
  auto at = w.Layout(100, 50, 40, 30);
  EXPECT_TRUE(at.buffered && at.fill_background);
  EXPECT_EQ(at.copies, (std::vector<ChildRect>{{5, 7, 40, 30}}));
  EXPECT_EQ(CChildFrame::CreationRect(1920, 1000), (ChildRect{0, 0, 1920, 930}));
}

}  // namespace

namespace {

class RunMainFrameTest : public FrameFixture {
 protected:
  RunOptions Run(std::function<void()> loop) {
    RunOptions run;
    run.frame.start_notice_thread = false;
    run.frame.end_program = [this](int code) { ended_with_.push_back(code); };
    run.frame.open_url = [](std::string_view) { return true; };
    run.run_loop = std::move(loop);
    run.quit_loop = [this] { quit_ = true; };
    return run;
  }
  CMainFrame* Frame() {
    for (ui::Window* w : app_.windows())
      if (auto* f = dynamic_cast<CMainFrame*>(w)) return f;
    return nullptr;
  }
  std::vector<int> ended_with_;
  bool quit_ = false;
};

TEST_F(RunMainFrameTest, LoginThenCloseEndsWithZero) {
  {
    CTellomarEnv setup;
    setup.m_strServerIP = "localhost";
    setup.m_strServerPort = service_.port();
    setup.m_strDBName = "NEW_ORV";
    setup.RDBServerOpen();
    ASSERT_EQ(setup.ExecuteSQL("insert into USER_INFO (USER_ID, PASSWORD) values ('user1', 'pw')", false), 1);
    setup.RDBServerClose();
  }
  int views = -1;
  const int code = RunMainFrame(app_, the_app_, options_, Run([&] {
    host_.AnswerDialog([&](ui::Dialog& d) {
      host_.Type(d, CDlgLogin::kLoginId, "user1");
      host_.Type(d, CDlgLogin::kPassword, "pw");
      host_.Click(d, ui::IDOK);
    });
    host_.AnswerDialog(ui::IDOK);  // the guideline
    host_.Advance(10);
    CMainFrame* f = Frame();
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->Command(32771));
    views = static_cast<int>(f->Views().size());
    host_.AnswerMessageBox(ui::IDYES);
    EXPECT_TRUE(f->Command(57665));
  }));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(views, 1);
  EXPECT_TRUE(quit_);
  EXPECT_TRUE(ended_with_.empty());
  EXPECT_EQ(the_app_.DocTemplates().size(), Screens().size());
  EXPECT_EQ(the_app_.GetProfileString(kLastLoginIdEntry), "user1");
}

TEST_F(RunMainFrameTest, StartUpFailureAndCancelledLogin) {
  WriteIni("");
  EXPECT_EQ(RunMainFrame(app_, the_app_, options_, Run([] { ADD_FAILURE() << "no loop without a frame"; })), 1);
  WriteIni("localhost");
  ended_with_.clear();
  const int code = RunMainFrame(app_, the_app_, options_, Run([&] {
    host_.AnswerDialog(ui::IDCANCEL);
    host_.Advance(10);
  }));
  EXPECT_EQ(ended_with_, std::vector<int>{1});
  EXPECT_EQ(code, 1);
}

}  // namespace
