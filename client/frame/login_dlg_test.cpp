#include "client/frame/login_dlg.h"

#include <gtest/gtest.h>

#include "client/app/testing/live_service.h"
#include "client/frame/frame_fixture.h"

namespace {

TEST(SplitLoginIdTest, SplitsAtTheFirstAtSignFromPositionOne) {
  struct Case {
    const char* text;
    LoginId want;
  } cases[] = {
      {"user1", {"", "user1"}},
      {"kim@user1", {"kim", "user1"}},
      {"@user1", {"", "@user1"}},
      {"a@b@c", {"a", "b@c"}},
      {"kim@", {"kim", ""}},
      {"", {"", ""}},
      {"상담원@고객", {"상담원", "고객"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitLoginId(c.text), c.want) << c.text;
}

TEST(LoginStatementTest, ValuesAreQuotedSafely) {
  EXPECT_EQ(StmtLoginCustomer("o'k"),
            "select USER_ID, USER_NM, '' as AGENT_NM, PASSWORD from USER_INFO where USER_ID = 'o''k' collate "
            "Korean_Wansung_BIN ");
  EXPECT_EQ(StmtLoginAgent("u1", "a'b"),
            "select u.USER_ID, u.USER_NM, a.AGENT_NM, a.PASSWORD  from USER_INFO u join USER_AGENT_INFO a on "
            "u.USER_ID = a.USER_ID where u.USER_ID = 'u1' and AGENT_NM = 'a''b' collate Korean_Wansung_BIN ");
}

class LoginTest : public FrameFixture {
 protected:
  // Runs the login dialog; act plays the user inside it.
  // then answers the server-address dialog, when given.
  int RunLogin(const std::function<void(CDlgLogin&)>& act, ui::TestHost::DialogAction then = {}) {
    host_.AnswerDialog([&](ui::Dialog& d) { act(static_cast<CDlgLogin&>(d)); });
    if (then) host_.AnswerDialog(then);
    CDlgLogin dlg(app_, the_app_, [this](int code) { ended_with_ = code; });
    return dlg.DoModal(nullptr);
  }
  // Types the ID and password and presses the login button.
  void TryLogin(CDlgLogin& d, const std::string& id, const std::string& password) {
    ASSERT_TRUE(host_.Type(d, CDlgLogin::kLoginId, id));
    ASSERT_TRUE(host_.Type(d, CDlgLogin::kPassword, password));
    ASSERT_TRUE(host_.Click(d, ui::IDOK));
  }
  int ended_with_ = -1;
};

TEST_F(LoginTest, CustomerAndAgentLoginsFillTheUserAndKeepTheIdAsTyped) {
  StartUp();
  AddUser("user1", "Secret");
  AddUser("@odd", "pw");
  AddAgent("user1", "kim", "agentpw");
  struct Case {
    const char* id;
    const char* password;
    const char* user;
    const char* agent;
    const char* stored_password;
  } cases[] = {
      {"user1", "Secret", "user1", "", "Secret"},
      {"kim@user1", "agentpw", "user1", "kim", "agentpw"},
      {"@odd", "pw", "@odd", "", "pw"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(RunLogin([&](CDlgLogin& d) { TryLogin(d, c.id, c.password); }), ui::IDOK);
    EXPECT_EQ(env_.m_strUserID, c.user);
    EXPECT_EQ(env_.m_strAgentName, c.agent);
    EXPECT_EQ(env_.m_strPassword, c.stored_password);
    EXPECT_EQ(the_app_.GetProfileString(kLastLoginIdEntry), c.id);
  }
  EXPECT_TRUE(host_.MessageBoxes().empty());
  EXPECT_TRUE(host_.faults().empty());
}

TEST_F(LoginTest, RefusedLoginsTellWhyAndTheDialogStaysOpen) {
  StartUp();
  AddUser("user1", "Secret");
  AddAgent("user1", "kim", "agentpw");
  AddUser("it''s", "q");
  the_app_.WriteProfileString(kLastLoginIdEntry, "before");
  EXPECT_EQ(RunLogin([&](CDlgLogin& d) {
              TryLogin(d, "user1", "secret");      // wrong case of the password
              TryLogin(d, "USER1", "Secret");      // wrong case of the ID
              TryLogin(d, "lee@user1", "agentpw");  // unknown agent
              TryLogin(d, "kim@user1", "Secret");   // the customer's password for the agent
              TryLogin(d, "x' or '1'='1", "Secret");
              EXPECT_FALSE(d.ended());
              TryLogin(d, "it's", "q");
            }),
            ui::IDOK);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"비밀번호가 일치하지 않습니다.", "등록되지 않은 사용자 입니다.",
                                                  "등록되지 않은 사용자 입니다.", "비밀번호가 일치하지 않습니다.",
                                                  "등록되지 않은 사용자 입니다."}));
  for (const auto& b : host_.MessageBoxes()) {
    EXPECT_EQ(b.caption, "알림");
    EXPECT_EQ(b.type, ui::MB_OK | ui::MB_ICONINFORMATION);
  }
  EXPECT_EQ(env_.m_strUserID, "it's");
  EXPECT_EQ(the_app_.GetProfileString(kLastLoginIdEntry), "it's");
}

TEST_F(LoginTest, UnreachableServerShowsTheConnectionErrorThenUnknownUser) {
  options_.db_port = UnusedPort();
  StartUp();
  EXPECT_EQ(RunLogin([&](CDlgLogin& d) {
              TryLogin(d, "user1", "pw");
              TryLogin(d, "user1", "pw");
              EXPECT_FALSE(d.ended());
              host_.Click(d, ui::IDCANCEL);
            }),
            ui::IDCANCEL);
  auto boxes = host_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 4u);
  for (int i : {0, 2}) {
    EXPECT_EQ(boxes[i].caption, "에러");
    EXPECT_NE(boxes[i].text.find("오류"), std::string::npos) << boxes[i].text;
    EXPECT_EQ(boxes[i + 1].text, "등록되지 않은 사용자 입니다.");
  }
}

TEST_F(LoginTest, StartFillsTheLastIdOrTheCommandLineWords) {
  StartUp();
  env_.RDBServerClose();
  the_app_.WriteProfileString(kLastLoginIdEntry, "kim@user1");
  struct Case {
    const char* line;
    const char* id;
    const char* password;
  } cases[] = {
      {"", "kim@user1", ""},
      {"localhost other pw", "other", "pw"},
      {"localhost onlypw", "kim@user1", "onlypw"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    StartUp(c.line);
    RunLogin([&](CDlgLogin& d) {
      EXPECT_EQ(d.Get<ui::Edit>(CDlgLogin::kLoginId).Text(), c.id);
      EXPECT_EQ(d.Get<ui::Edit>(CDlgLogin::kPassword).Text(), c.password);
      EXPECT_EQ(d.Focus(), CDlgLogin::kPassword);
      EXPECT_FALSE(d.ended());  // no login by itself
      EXPECT_EQ(d.Get<ui::Button>(ui::IDOK).Tooltip(), "로그인 합니다.");
      EXPECT_EQ(d.Get<ui::Button>(ui::IDCANCEL).Tooltip(), "취소합니다.");
      EXPECT_EQ(d.Get<ui::Button>(CDlgLogin::kSettings).Tooltip(), "서버 주소를 변경 합니다.");
      d.EndDialog(ui::IDCANCEL);
    });
    env_.RDBServerClose();
  }
}

TEST_F(LoginTest, FreshInstallationNoticeAndRestartAfterTheAddressChange) {
  WriteIni("127.0.0.1");
  StartUp();
  const int result = RunLogin(
      [&](CDlgLogin& d) {
        host_.Advance(499);
        EXPECT_TRUE(host_.MessageBoxes().empty());
        host_.Advance(1);
        host_.Advance(1000);  // once only
        host_.Click(d, CDlgLogin::kSettings);
      },
      [&](ui::Dialog& addr) {
        EXPECT_EQ(addr.Get<ui::Edit>(CDlgServerAddress::kAddress).Text(), "127.0.0.1");
        host_.Type(addr, CDlgServerAddress::kAddress, "localhost");
        host_.Click(addr, ui::IDOK);
      });
  EXPECT_EQ(result, ui::IDCANCEL);
  EXPECT_EQ(ended_with_, 1);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"처음 설치후에는 설정 버튼을 눌러 서버 주소를 변경하셔야 합니다.",
                                                  "서버 주소를 변경하면 프로그램을 다시 시작 하여야 합니다."}));
  EXPECT_NE(ReadFile(env_.m_strIniPath).find("SERVER_IP_ADDR=localhost"), std::string::npos);
  EXPECT_NE(ReadFile(env_.m_strZevrinIniPath).find("VC_SERVER_IP_ADDR=localhost"), std::string::npos);
  EXPECT_TRUE(host_.faults().empty());
}

TEST_F(LoginTest, AnotherAddressRebindsAtOnceAndTheLoginGoesOn) {
  // Configured with an address where nothing answers; the dialog moves the
  // session to the running service without a restart.
  WriteIni("127.0.0.2");
  StartUp();
  {
    CTellomarEnv setup;
    setup.m_strServerIP = "127.0.0.1";
    setup.m_strServerPort = service_.port();
    setup.m_strDBName = "NEW_ORV";
    setup.RDBServerOpen();
    ASSERT_EQ(setup.ExecuteSQL("insert into USER_INFO (USER_ID, PASSWORD) values ('user1', 'pw')", false), 1);
    setup.RDBServerClose();
  }
  EXPECT_EQ(RunLogin(
                [&](CDlgLogin& d) {
                  host_.Advance(600);
                  host_.Click(d, CDlgLogin::kSettings);
                  EXPECT_FALSE(d.ended());
                  TryLogin(d, "user1", "pw");
                },
                [&](ui::Dialog& addr) {
                  host_.Type(addr, CDlgServerAddress::kAddress, "127.0.0.1");
                  host_.Click(addr, ui::IDOK);
                }),
            ui::IDOK);
  EXPECT_EQ(ended_with_, -1);
  EXPECT_TRUE(host_.MessageBoxes().empty());
  EXPECT_EQ(env_.m_strServerIP, "127.0.0.1");
  EXPECT_NE(ReadFile(env_.m_strIniPath).find("SERVER_IP_ADDR=127.0.0.1"), std::string::npos);
}

TEST_F(LoginTest, AddressLongerThanFiftyBytesIsRefusedAndCancelChangesNothing) {
  StartUp();
  RunLogin(
      [&](CDlgLogin& d) {
        host_.Click(d, CDlgLogin::kSettings);
        d.EndDialog(ui::IDCANCEL);
      },
      [&](ui::Dialog& addr) {
        addr.Get<ui::Edit>(CDlgServerAddress::kAddress).SetText(std::string(51, 'a'));
        host_.Click(addr, ui::IDOK);
        EXPECT_FALSE(addr.ended());
        host_.Click(addr, ui::IDCANCEL);
      });
  EXPECT_EQ(env_.m_strServerIP, "localhost");
  ASSERT_EQ(host_.MessageBoxes().size(), 1u);
  EXPECT_EQ(host_.MessageBoxes()[0].text, "50바이트 이내로 입력하십시오.");
}

TEST_F(LoginTest, UnwritableProfileAndConfigurationDoNotStopTheLogin) {
  options_.profile_file = "/proc/no-such-folder/profile.ini";
  StartUp();
  AddUser("user1", "pw");
  env_.m_strZevrinIniPath = "/proc/no-such-folder/Zevrin.INI";
  EXPECT_EQ(RunLogin(
                [&](CDlgLogin& d) {
                  host_.Click(d, CDlgLogin::kSettings);
                  TryLogin(d, "user1", "pw");
                },
                [&](ui::Dialog& addr) {
                  host_.Type(addr, CDlgServerAddress::kAddress, "127.0.0.1");
                  host_.Click(addr, ui::IDOK);
                }),
            ui::IDOK);
  EXPECT_EQ(env_.m_strServerIP, "127.0.0.1");
  EXPECT_EQ(env_.m_strUserID, "user1");
  EXPECT_TRUE(host_.MessageBoxes().empty());
}

}  // namespace
