#include "client/app/tellomar_app.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "client/app/testing/live_service.h"
#include "platform/files.h"
#include "ui/testhost/test_host.h"

namespace {

class AppStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TELLOMAR_RPC_CONNECT_TIMEOUT_MS", "3000", 1);
    dir_ = std::filesystem::temp_directory_path() / ("tellomar_app_test." + std::to_string(getpid()));
    std::filesystem::create_directories(dir_ / "Env");
    env_.SetApp(&app_);
    env_.m_strIniPath = (dir_ / "Env/Tellomar.INI").string();
    options_.profile_file = (dir_ / "profile.ini").string();
  }
  void TearDown() override {
    if (env_.m_hRDB) env_.RDBServerClose();
    CTellomarEnv::SetRecordHandler({});
    std::filesystem::remove_all(dir_);
  }
  void WriteIni(const std::string& address) {
    std::ofstream(env_.m_strIniPath) << "[Tellomar]\r\nSERVER_IP_ADDR=" << address << "\r\n";
  }

  std::filesystem::path dir_;
  ui::TestHost host_;
  ui::App app_{host_};
  CTellomarEnv env_;
  CTellomarApp the_app_{app_, env_};
  CTellomarApp::Options options_;
};

TEST_F(AppStartTest, WithoutServerAddressBothMessagesAndFailure) {
  WriteIni("");
  app_.SetDialogColor(ui::Rgb(0, 0, 0));
  EXPECT_FALSE(the_app_.InitInstance(options_));
  auto boxes = host_.MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "서버 IP 주소 설정 정보를 읽을수 없습니다.");
  EXPECT_EQ(boxes[1].text, "환경 정보를 읽을수 없습니다.\r\n프로그램을 종료 합니다.");
  for (const auto& b : boxes) {
    EXPECT_EQ(b.caption, "에러");
    EXPECT_EQ(b.type, ui::MB_OK | ui::MB_ICONERROR);
  }
  EXPECT_EQ(env_.m_hRDB, 0u);
  EXPECT_EQ(app_.dialog_color(), ui::Rgb(209, 247, 254));
  EXPECT_EQ(the_app_.m_strStartDir, platform::CurrentDirectory());
}

TEST_F(AppStartTest, CommandLineWordsAndTheirAddress) {
  WriteIni("10.9.9.9");
  struct Case {
    const char* line;
    const char* address;
    const char* id;
    const char* password;
    const char* server_ip;
  } cases[] = {
      {"", "", "", "", "10.9.9.9"},
      {"  127.0.0.1  ", "127.0.0.1", "", "", "127.0.0.1"},
      {"127.0.0.2 secret", "127.0.0.2", "", "secret", "127.0.0.2"},
      {"127.0.0.3 user1 pass word", "127.0.0.3", "user1", "pass word", "127.0.0.3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    CTellomarEnv env;
    env.SetApp(&app_);
    env.m_strIniPath = env_.m_strIniPath;
    CTellomarApp app(app_, env);
    options_.command_line = c.line;
    ASSERT_TRUE(app.InitInstance(options_));
    EXPECT_EQ(app.m_strCmdServerAddr, c.address);
    EXPECT_EQ(app.m_strCmdLoginID, c.id);
    EXPECT_EQ(app.m_strCmdPassword, c.password);
    EXPECT_EQ(env.m_strServerIP, c.server_ip);
    EXPECT_EQ(env.m_strServerPort, "8907");
    EXPECT_NE(env.m_hRDB, 0u);
    env.RDBServerClose();
  }
  EXPECT_TRUE(host_.MessageBoxes().empty());
}

TEST_F(AppStartTest, StartedSessionReachesTheServiceOnTheOverriddenPort) {
  LiveService service;
  ASSERT_EQ(service.error(), "");
  WriteIni("127.0.0.1");
  options_.db_port = service.port();
  ASSERT_TRUE(the_app_.InitInstance(options_));
  EXPECT_EQ(env_.m_strServerPort, service.port());
  // The default record handler is in place: rows go to standard output.
  ::testing::internal::CaptureStdout();
  long rows = 0;
  EXPECT_EQ(env_.QueryRecord(1, "select 'a', 'b'", &rows), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "(a)(b)\n");
}

TEST_F(AppStartTest, MainFrameFactoryRunsInsteadOfTheSession) {
  WriteIni("127.0.0.1");
  int calls = 0;
  options_.create_main_frame = [&](CTellomarApp& app) {
    ++calls;
    EXPECT_EQ(&app, &the_app_);
    return false;
  };
  EXPECT_FALSE(the_app_.InitInstance(options_));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(env_.m_hRDB, 0u);  // binding is the frame's business then
}

TEST_F(AppStartTest, ProfileValuesLiveInTheProgramSection) {
  the_app_.InitInstance(options_);  // no configuration here; the profile is set up all the same
  EXPECT_TRUE(the_app_.WriteProfileString("LAST_LOGIN_ID", "홍길동"));
  EXPECT_TRUE(the_app_.WriteProfileInt("NOTIFY_REMAIN_CASH", 50000));
  EXPECT_EQ(the_app_.GetProfileString("LAST_LOGIN_ID"), "홍길동");
  EXPECT_EQ(the_app_.GetProfileInt("NOTIFY_REMAIN_CASH", 0), 50000);
  EXPECT_EQ(the_app_.GetProfileInt("CALLBACK_ALARM_COUNT", 3), 3);
  platform::ProfileStore direct(options_.profile_file);
  EXPECT_EQ(direct.GetProfileString("Tellomar", "LAST_LOGIN_ID"), "홍길동");
}

TEST(PortText, ValidAndInvalid) {
  for (const char* ok : {"1", "8907", "65535"}) EXPECT_TRUE(IsValidPortText(ok)) << ok;
  for (const char* bad : {"", "0", "65536", "12a", "-1", " 80", "123456"}) EXPECT_FALSE(IsValidPortText(bad)) << bad;
}

}  // namespace
