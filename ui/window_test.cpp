#include "ui/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include "ui/testhost/test_host.h"

namespace ui {
namespace {

struct KeysDialog : Dialog {
  explicit KeysDialog(App& app) : Dialog(app, "키", Rect{0, 0, 100, 60}) {
    AddEdit(10, {});
    AddEdit(11, {}, kMultiline | kWantReturn);
    AddButton(20, "다른 버튼", {});
    AddButton(IDOK, "확인", {});
    AddButton(IDCANCEL, "취소", {});
    On(20, Notify::Clicked, [this] { ++other_clicks; });
  }
  int other_clicks = 0;
};

struct WindowTest : ::testing::Test {
  TestHost host;
  App app{host};
};

TEST_F(WindowTest, EnterAndEscapeRules) {
  struct Case {
    const char* name;
    std::function<void(KeysDialog&)> setup;
    bool escape;
    bool ends;
    int result;
    int other_clicks;
  };
  const Case cases[] = {
      {"enter in an edit presses OK", [](KeysDialog& d) { d.UserFocus(10); }, false, true, IDOK, 0},
      {"enter in a multi-line edit that wants returns stays", [](KeysDialog& d) { d.UserFocus(11); }, false, false, 0, 0},
      {"enter on a push button clicks it", [](KeysDialog& d) { d.UserFocus(20); }, false, false, 0, 1},
      {"enter with a disabled OK does nothing",
       [](KeysDialog& d) {
         d.UserFocus(10);
         d.Get(IDOK).Enable(false);
       },
       false, false, 0, 0},
      {"escape cancels", [](KeysDialog&) {}, true, true, IDCANCEL, 0},
      {"escape with a disabled cancel button stays", [](KeysDialog& d) { d.Get(IDCANCEL).Enable(false); }, true,
       false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KeysDialog d(app);
    host.AnswerDialog([&](Dialog& dlg) {
      auto& k = static_cast<KeysDialog&>(dlg);
      c.setup(k);
      c.escape ? host.PressEscape(k) : host.PressEnter(k);
      EXPECT_EQ(k.ended(), c.ends);
      EXPECT_EQ(k.other_clicks, c.other_clicks);
      if (!k.ended()) k.EndDialog(0);
    });
    EXPECT_EQ(d.DoModal(), c.result);
  }
  EXPECT_TRUE(host.faults().empty());
}

TEST_F(WindowTest, DefaultStyleButtonWinsOverOk) {
  KeysDialog d(app);
  d.AddButton(30, "기본", {}, kDefault);
  int clicks = 0;
  d.On(30, Notify::Clicked, [&] { ++clicks; });
  host.AnswerDialog([&](Dialog& dlg) {
    dlg.UserFocus(10);
    host.PressEnter(dlg);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(dlg.ended());
    dlg.EndDialog(IDCANCEL);
  });
  d.DoModal();
}

struct InitDialog : Dialog {
  explicit InitDialog(App& app) : Dialog(app, "로그인", Rect{0, 0, 118, 53}) {}
  bool OnInitDialog() override {
    SetTimer(0, 500);
    return true;
  }
  void OnTimer(unsigned id) override {
    KillTimer(id);
    app().MessageBox(this, "처음 설치후에는 설정 버튼을 눌러 서버 주소를 변경하셔야 합니다.", kCaptionNotice,
                     MB_OK | MB_ICONINFORMATION);
  }
};

TEST_F(WindowTest, TimerInsideAModalDialogShowsItsNoticeOnce) {
  InitDialog d(app);
  host.AnswerDialog([&](Dialog& dlg) {
    host.Advance(499);
    EXPECT_TRUE(host.MessageBoxes().empty());
    host.Advance(1);
    host.Advance(5000);  // killed on its first tick
    dlg.EndDialog(IDOK);
  });
  EXPECT_EQ(d.DoModal(), IDOK);
  ASSERT_EQ(host.MessageBoxes().size(), 1u);
  EXPECT_EQ(host.MessageBoxes()[0].caption, "알림");
  EXPECT_TRUE(host.Timers(d).empty());  // destroyed with the dialog
}

struct TickDialog : Dialog {
  explicit TickDialog(App& app) : Dialog(app, "", {}) {}
  std::vector<std::pair<unsigned, std::int64_t>> ticks;
  TestHost* host = nullptr;
  void OnTimer(unsigned id) override { ticks.emplace_back(id, host->now_ms()); }
};

TEST_F(WindowTest, TimersReplaceOnRearmAndFireInTimeOrder) {
  TickDialog d(app);
  d.host = &host;
  ASSERT_TRUE(d.Create());
  d.SetTimer(1, 300);
  d.SetTimer(2, 200);
  host.Advance(100);
  d.SetTimer(1, 1000);  // re-arming replaces: next tick of 1 at 1100
  d.SetTimer(3, 0);     // the shortest interval the platform allows
  host.Advance(1000);
  std::map<unsigned, std::vector<std::int64_t>> at;
  std::int64_t last = 0;
  for (auto [id, t] : d.ticks) {
    EXPECT_GE(t, last);  // in time order
    last = t;
    at[id].push_back(t);
  }
  EXPECT_EQ(at[1], (std::vector<std::int64_t>{1100}));
  EXPECT_EQ(at[2], (std::vector<std::int64_t>{200, 400, 600, 800, 1000}));
  ASSERT_EQ(at[3].size(), 100u);
  EXPECT_EQ(at[3].front(), 110);
  d.KillTimer(2);
  host.Advance(400);
  EXPECT_EQ(std::count_if(d.ticks.begin(), d.ticks.end(), [](auto& t) { return t.first == 2; }), 5);
  EXPECT_EQ(host.Timers(d), (std::map<unsigned, unsigned>{{1, 1000}, {3, 10}}));
}

TEST_F(WindowTest, ModalDialogFromWorkerRunsOnUiThread) {
  Dialog d(app, "질문", Rect{0, 0, 50, 50});
  const auto ui_id = std::this_thread::get_id();
  host.AnswerDialog([&](Dialog& dlg) {
    EXPECT_EQ(std::this_thread::get_id(), ui_id);
    dlg.EndDialog(IDYES);
  });
  std::atomic<int> result{0};
  std::thread worker([&] { result = d.DoModal(); });
  ASSERT_TRUE(host.PumpUntil([&] { return result.load() != 0; }));
  worker.join();
  EXPECT_EQ(result, IDYES);
}

TEST_F(WindowTest, UnscriptedModalsAreFaultsWithHarmlessAnswers) {
  Dialog d(app, "대화", {});
  EXPECT_EQ(d.DoModal(), IDCANCEL);
  EXPECT_EQ(app.MessageBox(nullptr, "삭제?", kCaptionConfirm, MB_YESNO), IDNO);
  EXPECT_EQ(app.MessageBox(nullptr, "완료", kCaptionNotice, MB_OK), IDOK);  // only one answer: no fault
  host.AnswerMessageBox(IDYES);
  EXPECT_EQ(app.MessageBox(nullptr, "알림", kCaptionNotice, MB_OK), IDYES);  // not offered: a fault
  EXPECT_EQ(host.faults().size(), 3u);
}

struct View : FormView {
  explicit View(App& app) : FormView(app, Rect{0, 0, 300, 200}) {
    AddButton(1125, "닫기(&X)", {});
    On(1125, Notify::Clicked, [this] { CloseFrame(); });
    On(32772, Notify::Command, [this] { ++commands; });
  }
  void OnInitialUpdate() override { initialised = true; }
  bool initialised = false;
  int commands = 0;
};

TEST_F(WindowTest, FrameOpensRoutesAndClosesViews) {
  MainFrame frame(app, "Tellomar(127.0.0.1)");
  frame.SetMenu({MenuItem{0, "ORV(&A)", {{32771, "ORV 데이터 가져오기 및 전송", {}}, MenuItem::Separator(),
                                           {32772, "ORV 통보 안된 데이터 조회", {}}, {32789, "ORV 콜백 자료 조회", {}}}}});
  frame.Create();
  int frame_commands = 0;
  frame.On(32771, Notify::Command, [&] { ++frame_commands; });
  frame.On(32772, Notify::Command, [&] { ++frame_commands; });

  View* v = static_cast<View*>(frame.OpenView(std::make_unique<View>(app), "통보 안된 데이터 조회"));
  EXPECT_TRUE(v->initialised);
  EXPECT_EQ(frame.ActiveView(), v);
  EXPECT_EQ(v->Title(), "통보 안된 데이터 조회");
  EXPECT_EQ(frame.FindView<View>(), v);

  EXPECT_TRUE(frame.Command(32772));  // the active view first
  EXPECT_EQ(v->commands, 1);
  EXPECT_EQ(frame_commands, 0);
  EXPECT_TRUE(frame.Command(32771));  // not the view's: the frame's
  EXPECT_EQ(frame_commands, 1);
  frame.SetCommandEnabled(32771, false);
  EXPECT_FALSE(frame.Command(32771));
  EXPECT_EQ(frame_commands, 1);

  EXPECT_TRUE(frame.DeleteMenuItem(0, 3));
  EXPECT_FALSE(frame.DeleteMenuItem(0, 3));
  EXPECT_EQ(frame.Menu()[0].items.size(), 3u);
  EXPECT_TRUE(frame.Menu()[0].items[1].separator());

  // Close from the view's own button: done after the handler returned.
  host.Click(*v, 1125);
  host.Pump();
  EXPECT_TRUE(frame.Views().empty());
  EXPECT_EQ(frame.ActiveView(), nullptr);
}

TEST_F(WindowTest, StatusTextFromWorkerWithoutWaiting) {
  MainFrame frame(app, "Tellomar");
  frame.Create();
  EXPECT_EQ(frame.StatusText(), "준비");
  std::thread([&] { frame.SetStatusText("전송중"); }).join();  // would hang if it waited
  EXPECT_EQ(frame.StatusText(), "전송중");
  host.Pump();
}

}  // namespace
}  // namespace ui
