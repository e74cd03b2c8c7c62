#include "client/senddata/send_data_view.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <functional>
#include <regex>

#include "client/dispatch/import.h"
#include "client/dispatch/report_target_list.h"
#include "client/dispatch/test_service.h"
#include "ui/testhost/test_host.h"

namespace {

using V = CDlgSendData;

// Forwards the view's batches to the real service; the test may act before
// a batch goes out or after it was executed (call numbers count from 1).
class HookedTarget : public dispatch::SendTarget {
 public:
  // Returning false after a batch reports it failed with its answer lost.
  using Hook = std::function<bool(int call)>;
  HookedTarget(std::unique_ptr<dispatch::SendTarget> real, Hook before, Hook after)
      : real_(std::move(real)), before_(std::move(before)), after_(std::move(after)) {}
  int BulkExecute(const CSQLBatch& b, std::int32_t* executed, std::string* error) override {
    ++calls_;
    if (before_) before_(calls_);
    const int r = real_->BulkExecute(b, executed, error);
    if (after_ && !after_(calls_)) {
      *executed = 0;
      *error = "answer lost";
      return -1726;
    }
    return r;
  }
  bool QueryFirstValue(const std::string& sql, std::string* v) override { return real_->QueryFirstValue(sql, v); }

 private:
  std::unique_ptr<dispatch::SendTarget> real_;
  Hook before_, after_;
  int calls_ = 0;
};

class TestView : public CDlgSendData {
 public:
  using CDlgSendData::CDlgSendData;
  HookedTarget::Hook before, after;

 protected:
  std::unique_ptr<dispatch::SendTarget> MakeSendTarget() override {
    return std::make_unique<HookedTarget>(CDlgSendData::MakeSendTarget(), before, after);
  }
};

// Rows as the import dialog appends them: 010 numbers, customer text.
void AppendRows(ui::ReportList& l, int n, int first = 0) {
  dispatch::ReportTargetList list(l);
  for (int i = first; i < first + n; ++i) {
    std::string digits = std::to_string(20000000 + i);
    list.AppendNumbered("010-" + digits.substr(0, 4) + "-" + digits.substr(4), {"고객" + std::to_string(i), "", "", ""});
  }
}

class SendDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TELLOMAR_RPC_CONNECT_TIMEOUT_MS", "3000", 1);
    ASSERT_TRUE(svc_.error().empty() && svc_.Start()) << svc_.error();
    env_.SetApp(&app_);
    env_.m_strServerIP = "127.0.0.1";
    env_.m_strServerPort = svc_.port();
    env_.m_strDBName = "NEW_ORV";
    env_.m_strUserID = "u1";
    ASSERT_EQ(env_.RDBServerOpen(), 1);
    frame_.Create();
  }
  void TearDown() override {
    for (ui::FormView* v : frame_.Views()) frame_.CloseView(v);
    env_.RDBServerClose();
    CTellomarEnv::SetRecordHandler({});
    EXPECT_TRUE(host_.faults().empty()) << host_.faults().front();
  }
  TestView& Open(SendDataTools tools = {}) {
    tools.import_file = [this](ui::Window*, ui::ReportList& l) { AppendRows(l, import_rows_); };
    return *static_cast<TestView*>(
        frame_.OpenView(std::make_unique<TestView>(app_, env_, std::move(tools)), "ORV 데이터 가져오기 및 전송"));
  }
  // Presses send, confirms, and waits for the worker to end.
  void Send(TestView& v) {
    host_.AnswerMessageBox(ui::IDYES);
    ASSERT_TRUE(host_.Click(v, V::kSend));
    ASSERT_TRUE(host_.PumpUntil([&] { return !v.Sending(); }));
  }
  std::string Status(TestView& v) { return v.m_pDlgProgress->Get(CDlgSendDataProgress::kStatus).Text(); }
  std::string LastBox() const { return host_.MessageBoxes().empty() ? "" : host_.MessageBoxes().back().text; }
  std::string Summary(long sent, long dropped) {
    return dispatch::FormatMessage(dispatch::kSendSummary, {std::to_string(sent), std::to_string(dropped)});
  }

  TestService svc_;
  ui::TestHost host_;
  ui::App app_{host_};
  CTellomarEnv env_;
  ui::MainFrame frame_{app_, "Tellomar"};
  int import_rows_ = 0;
};

const std::regex kTitleForm(R"(\d{8}_\d{6})");

TEST_F(SendDataTest, OneServiceIsChosenAtOnceAndFillsTheForm) {
  svc_.Exec("update SERVICE_INFO set USE_DENY_NOSPAM = 1 where SVC_ID = 7");
  env_.m_nUseResearch = 1;
  TestView& v = Open();
  auto& combo = v.Get<ui::ComboBox>(V::kService);
  EXPECT_EQ(combo.Items(), std::vector<std::string>{"7.S7"});
  EXPECT_EQ(combo.CurSel(), 0);
  EXPECT_FALSE(combo.Enabled());
  EXPECT_EQ(v.Get(V::kCallback).Text(), "02-555-1234");
  EXPECT_FALSE(v.Get(V::kCallback).Enabled());  // the service may not change it
  const std::string title = v.Get(V::kTitle).Text();
  EXPECT_EQ(title.rfind("음성전송_", 0), 0u) << title;
  EXPECT_TRUE(std::regex_match(title.substr(std::string("음성전송_").size()), kTitleForm)) << title;
  EXPECT_EQ(v.Get<ui::Button>(V::kMinistryDeny).Check(), 1);
  EXPECT_EQ(v.Get<ui::Button>(V::kUserDeny).Check(), 1);
  EXPECT_TRUE(v.Get(V::kCreateRdd).Visible());
  EXPECT_EQ(v.Get(V::kSend).Tooltip(), "리스트의 데이터를 서버로 데이터를 전송 합니다.");
  EXPECT_EQ(v.Get(V::kImport).Tooltip(), "파일로 부터 자료를 가져 옵니다.");
  EXPECT_EQ(v.Get<ui::ReportList>(V::kList).ColumnCount(), 6);
  EXPECT_TRUE(host_.MessageBoxes().empty());
}

TEST_F(SendDataTest, ServicesOfTheUserInOrderAndTheChosenOnesSettings) {
  svc_.Exec("insert into SERVICE_INFO (SVC_ID, USER_ID, SVC_NM, SVC_TYPE, PROG_STAT, DEF_CALLER_ID, "
            "USE_CHG_CALLBACK_NO) values (8, 'u1', '설문', 4, '1', '031-222-3333', 1)");
  svc_.Exec("insert into SERVICE_INFO (SVC_ID, USER_ID, SVC_NM, SVC_TYPE, PROG_STAT) values "
            "(5, 'u1', '기타', 5, '1'), (9, 'u1', '종료', 0, '9'), (10, 'u1', '문자', 1, '1'), (11, 'u2', '남', 0, '1')");
  TestView& v = Open();
  auto& combo = v.Get<ui::ComboBox>(V::kService);
  EXPECT_EQ(combo.Items(), (std::vector<std::string>{"5.기타", "7.S7", "8.설문"}));
  EXPECT_TRUE(combo.Enabled());
  EXPECT_EQ(v.Get(V::kTitle).Text(), "");

  // Without a service there is nothing to send.
  ASSERT_TRUE(host_.Click(v, V::kSend));
  EXPECT_EQ(LastBox(), kSelectServiceText);
  EXPECT_EQ(v.m_pDlgProgress, nullptr);

  const struct {
    int index;
    const char* prefix;
    const char* callback;
    bool callback_enabled;
  } cases[] = {{2, "설문조사_", "031-222-3333", true}, {0, "제목없음_", "", false}, {1, "음성전송_", "02-555-1234", false}};
  for (const auto& c : cases) {
    ASSERT_TRUE(host_.Select(v, V::kService, c.index));
    EXPECT_EQ(v.Get(V::kCallback).Text(), c.callback) << c.index;
    EXPECT_EQ(v.Get(V::kCallback).Enabled(), c.callback_enabled) << c.index;
    EXPECT_EQ(v.Get(V::kTitle).Text().rfind(c.prefix, 0), 0u) << v.Get(V::kTitle).Text();
  }
  // Opening the list reloads it and keeps the choice.
  svc_.Exec("insert into SERVICE_INFO (SVC_ID, USER_ID, SVC_NM, SVC_TYPE, PROG_STAT) values (6, 'u1', '새', 0, '1')");
  ASSERT_TRUE(host_.DropDown(v, V::kService));
  EXPECT_EQ(combo.Count(), 4);
  EXPECT_EQ(combo.SelectedText(), "7.S7");
  EXPECT_FALSE(v.Get(V::kCreateRdd).Visible());
  EXPECT_EQ(host_.MessageBoxes().size(), 1u);

  // A send that failed is continued only for its own service: another
  // service's send is a new one.
  import_rows_ = 10;
  ASSERT_TRUE(host_.Click(v, V::kImport));
  v.after = [](int) { return false; };
  Send(v);
  ASSERT_TRUE(v.Session().pending());
  v.after = nullptr;
  ASSERT_TRUE(host_.Select(v, V::kService, 3));
  ASSERT_EQ(combo.SelectedText(), "8.설문");
  Send(v);
  EXPECT_EQ(svc_.Value("select count(*) from REQ_ORV where SVC_ID = 7"), "10");
  EXPECT_EQ(svc_.Value("select count(*) from REQ_ORV where SVC_ID = 8"), "10");
  EXPECT_EQ(svc_.Value("select count(distinct CALLER_ID) from REQ_ORV where SVC_ID = 8"), "1");
  EXPECT_EQ(svc_.Value("select CALLER_ID from REQ_ORV where SVC_ID = 8"), "0312223333");
}

TEST_F(SendDataTest, ManualEntryAddsChangesAndDeletesRows) {
  TestView& v = Open();
  auto& list = v.Get<ui::ReportList>(V::kList);
  ASSERT_TRUE(host_.Type(v, V::kManualPhone, "12345"));
  ASSERT_TRUE(host_.Click(v, V::kAdd));
  EXPECT_EQ(LastBox(), kInvalidPhoneText);
  EXPECT_EQ(list.ItemCount(), 0);

  const struct {
    const char* phone;
    const char* info;
  } rows[] = {{"01012345678", "O'Neil"}, {"0212345678", "둘"}, {"031 123 4567", "셋"}};
  for (const auto& r : rows) {
    v.Get<ui::Edit>(V::kManualPhone).SetText(r.phone);
    v.Get<ui::Edit>(V::kManualInfo).SetText(r.info);
    ASSERT_TRUE(host_.Click(v, V::kAdd));
  }
  // Each row goes on top with the next number.
  ASSERT_EQ(list.ItemCount(), 3);
  EXPECT_EQ(list.ItemText(0, 0), "3");
  EXPECT_EQ(list.ItemText(0, 1), "031-123-4567");
  EXPECT_EQ(list.ItemText(2, 1), "010-1234-5678");
  EXPECT_EQ(list.ItemText(2, 2), "O'Neil");

  ASSERT_TRUE(host_.ClickRow(v, V::kList, 1));
  EXPECT_EQ(v.Get(V::kManualPhone).Text(), "02-1234-5678");
  EXPECT_EQ(v.Get(V::kManualInfo).Text(), "둘");
  v.Get<ui::Edit>(V::kManualPhone).SetText("0298765432");
  ASSERT_TRUE(host_.Click(v, V::kChange));
  EXPECT_EQ(list.ItemText(1, 1), "02-9876-5432");
  EXPECT_EQ(list.ItemText(1, 2), "둘");  // the customer information stays

  // Delete asks; no keeps the rows.
  host_.AnswerMessageBox(ui::IDNO);
  ASSERT_TRUE(host_.Click(v, V::kDelete));
  EXPECT_EQ(list.ItemCount(), 3);
  ASSERT_TRUE(host_.ClickRow(v, V::kList, 1, true));  // ctrl: row 1 off again
  ASSERT_TRUE(host_.ClickRow(v, V::kList, 0, true));
  ASSERT_TRUE(host_.ClickRow(v, V::kList, 1, true));
  host_.AnswerMessageBox(ui::IDYES);
  ASSERT_TRUE(host_.Click(v, V::kDelete));
  ASSERT_EQ(list.ItemCount(), 1);
  EXPECT_EQ(list.ItemText(0, 0), "1");  // not renumbered
  host_.AnswerMessageBox(ui::IDYES);
  list.SelectAll(false);
  ASSERT_TRUE(host_.Click(v, V::kDelete));
  EXPECT_EQ(LastBox(), kNoSelectionText);
  EXPECT_EQ(list.ItemCount(), 1);

  // The typed apostrophe reaches the service as it was typed.
  Send(v);
  EXPECT_EQ(svc_.Value("select CUST_INFO from REQ_ORV where RECV_PHONE = '01012345678'"), "O'Neil");
  EXPECT_EQ(Status(v), Summary(1, 0));
}

TEST_F(SendDataTest, SendRegistersEveryRowOnceUnderOneTitleAndTime) {
  import_rows_ = 3000;
  svc_.Exec("insert into T_DENY_ORV (C_USER_ID, C_TELNUM) values ('u1', '01020000005')");
  TestView& v = Open();
  ASSERT_TRUE(host_.Click(v, V::kImport));
  v.Get<ui::Edit>(V::kTitle).SetText("");
  Send(v);
  EXPECT_EQ(host_.MessageBoxes()[0].text, "3000 건의 데이터를 서버로 전송하시겠습니까?");
  EXPECT_EQ(svc_.Value("select count(*) from REQ_ORV"), "2999");
  EXPECT_EQ(svc_.Value("select count(distinct RECV_PHONE) from REQ_ORV"), "2999");
  EXPECT_EQ(svc_.Value("select count(distinct TITLE || REG_DATE || REG_TIME) from REQ_ORV"), "1");
  const std::string title = svc_.Value("select TITLE from REQ_ORV");
  EXPECT_EQ(title.rfind("제목없음_", 0), 0u) << title;
  EXPECT_EQ(svc_.Value("select count(*) from REQ_ORV where CALLER_ID <> '025551234'"), "0");
  EXPECT_EQ(v.Get<ui::ReportList>(V::kList).ItemCount(), 0);
  EXPECT_EQ(Status(v), Summary(3000, 1));
  EXPECT_EQ(v.Get(V::kTitle).Text(), "");
  EXPECT_FALSE(v.Session().pending());
  CDlgSendDataProgress& p = *v.m_pDlgProgress;
  EXPECT_EQ(p.Get<ui::Progress>(CDlgSendDataProgress::kProgress).Pos(), 100);
  EXPECT_FALSE(p.Get(CDlgSendDataProgress::kStop).Enabled());
  EXPECT_TRUE(v.Get(V::kSend).Enabled());
  ASSERT_TRUE(host_.Click(p, CDlgSendDataProgress::kClose));
  EXPECT_EQ(v.m_pDlgProgress, nullptr);

  // An empty list, confirmed, ends with an empty summary.
  Send(v);
  EXPECT_EQ(host_.MessageBoxes().back().text, "0 건의 데이터를 서버로 전송하시겠습니까?");
  EXPECT_EQ(Status(v), Summary(0, 0));

  // A title over its limit is refused before anything is sent.
  v.Get<ui::Edit>(V::kTitle).SetText("제목이 서른 바이트를 넘습니다 정말");
  ASSERT_TRUE(host_.Click(*v.m_pDlgProgress, CDlgSendDataProgress::kClose));
  ASSERT_TRUE(host_.Click(v, V::kSend));
  EXPECT_EQ(LastBox(), "30바이트 이내로 입력하십시오.");
  EXPECT_EQ(v.m_pDlgProgress, nullptr);
}

struct InterruptCase {
  const char* name;
  int rows;
  int stop_before;  // the service stops before this batch
  int lose_after;   // the service stops after executing this batch; its answer is lost
};

TEST_F(SendDataTest, ResumedSendRegistersEveryRowOnce) {
  const InterruptCase cases[] = {{"service stopped before batch 3", 3000, 3, 0},
                                 {"answer of batch 2 lost", 3000, 0, 2},
                                 {"first batch fails", 3000, 1, 0},
                                 {"the only batch fails", 10, 1, 0}};
  TestView& v = Open();
  int serial = 0;
  for (const auto& c : cases) {
    svc_.Exec("delete from REQ_ORV");
    import_rows_ = c.rows;
    ASSERT_TRUE(host_.Click(v, V::kImport));
    EXPECT_FALSE(v.Session().pending());
    const std::string title = "재전송 'A' #" + std::to_string(++serial);
    v.Get<ui::Edit>(V::kTitle).SetText(title);
    v.before = [&](int call) {
      if (call == c.stop_before) svc_.Stop();
      return true;
    };
    v.after = [&](int call) {
      if (call != c.lose_after) return true;
      svc_.Stop();
      return false;
    };
    Send(v);
    EXPECT_EQ(LastBox(), dispatch::kSendErrorMessage) << c.name;
    EXPECT_TRUE(v.Session().pending()) << c.name;
    EXPECT_EQ(v.Get(V::kTitle).Text(), title) << c.name;  // kept for the resume
    CDlgSendDataProgress& p = *v.m_pDlgProgress;
    EXPECT_TRUE(p.Get(CDlgSendDataProgress::kClose).Enabled());
    EXPECT_FALSE(p.Get(CDlgSendDataProgress::kStop).Enabled());
    const int left = v.Get<ui::ReportList>(V::kList).ItemCount();
    EXPECT_GT(left, 0) << c.name;
    const long stored = std::stol(svc_.Value("select count(*) from REQ_ORV"));
    if (c.lose_after)
      EXPECT_GT(stored, c.rows - left) << c.name;  // executed rows still in the list
    else
      EXPECT_EQ(stored, c.rows - left) << c.name;
    // A failure in the middle ends without the summary; the last batch's
    // failure still shows one (nothing sent, the count not answered).
    if (left == c.rows && c.rows < 400)
      EXPECT_EQ(Status(v), Summary(0, 0)) << c.name;
    else
      EXPECT_NE(Status(v).find("전송중..."), std::string::npos) << c.name;
    ASSERT_TRUE(host_.Click(p, CDlgSendDataProgress::kClose));

    // A second later, the service back: the same send goes on.
    sleep(1);
    ASSERT_TRUE(svc_.Start()) << svc_.error();
    v.before = v.after = nullptr;
    Send(v);
    EXPECT_EQ(v.Get<ui::ReportList>(V::kList).ItemCount(), 0) << c.name;
    EXPECT_EQ(svc_.Value("select count(*) from REQ_ORV"), std::to_string(c.rows)) << c.name;
    EXPECT_EQ(svc_.Value("select count(distinct RECV_PHONE) from REQ_ORV"), std::to_string(c.rows)) << c.name;
    EXPECT_EQ(svc_.Value("select count(distinct TITLE || REG_DATE || REG_TIME) from REQ_ORV"), "1") << c.name;
    EXPECT_EQ(svc_.Value("select TITLE from REQ_ORV"), title) << c.name;
    EXPECT_EQ(Status(v), Summary(c.rows, 0)) << c.name;
    EXPECT_FALSE(v.Session().pending());
    EXPECT_EQ(v.Get(V::kTitle).Text(), "");
  }
}

TEST_F(SendDataTest, StopLeavesTheUnsentRowsForTheNextPress) {
  import_rows_ = 2000;
  TestView& v = Open();
  ASSERT_TRUE(host_.Click(v, V::kImport));
  // The user stops while the first batch is on its way.
  v.before = [&](int call) {
    if (call == 1) v.m_pDlgProgress->m_bStop = true;
    return true;
  };
  Send(v);
  const int left = v.Get<ui::ReportList>(V::kList).ItemCount();
  ASSERT_GT(left, 0);
  // The statement that did not fit into the first batch was processed and
  // sent before the loop ended.
  const long processed = 2000 - left;
  EXPECT_EQ(svc_.Value("select count(*) from REQ_ORV"), std::to_string(processed));
  EXPECT_EQ(Status(v), Summary(processed, 0));
  EXPECT_EQ(v.Get<ui::ReportList>(V::kList).ItemText(0, 0), std::to_string(processed + 1));
  EXPECT_TRUE(v.Session().pending());
  EXPECT_NE(v.Get(V::kTitle).Text(), "");

  // Pressing send again sends the rest under the same registration.
  v.before = nullptr;
  ASSERT_TRUE(host_.Click(*v.m_pDlgProgress, CDlgSendDataProgress::kClose));
  Send(v);
  EXPECT_EQ(svc_.Value("select count(*) from REQ_ORV"), "2000");
  EXPECT_EQ(svc_.Value("select count(distinct REG_DATE || REG_TIME) from REQ_ORV"), "1");
  EXPECT_EQ(Status(v), Summary(2000, 0));

  // Filling the list again after a stop starts a new send.
  import_rows_ = 500;
  ASSERT_TRUE(host_.Click(v, V::kImport));
  v.before = [&](int call) {
    if (call == 1) v.m_pDlgProgress->m_bStop = true;
    return true;
  };
  ASSERT_TRUE(host_.Click(*v.m_pDlgProgress, CDlgSendDataProgress::kClose));
  Send(v);
  ASSERT_TRUE(v.Session().pending());
  ASSERT_TRUE(host_.Click(v, V::kImport));
  EXPECT_FALSE(v.Session().pending());
}

TEST_F(SendDataTest, ClosingTheViewDuringASendEndsTheWorker) {
  import_rows_ = 3000;
  TestView& v = Open();
  ASSERT_TRUE(host_.Click(v, V::kImport));
  host_.AnswerMessageBox(ui::IDYES);
  ASSERT_TRUE(host_.Click(v, V::kSend));
  EXPECT_FALSE(v.Get(V::kImport).Enabled());  // the list is the worker's now
  frame_.CloseView(&v);
  EXPECT_TRUE(frame_.Views().empty());
  const long stored = std::stol(svc_.Value("select count(*) from REQ_ORV"));
  EXPECT_LE(stored, 3000);
}

}  // namespace
