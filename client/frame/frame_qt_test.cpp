// A session through the Qt host offscreen: the login dialog, the main frame
// with its menus and toolbar, and an opened screen grabbed into PNG files
// and checked, with the Korean texts drawn in a font that has their glyphs.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMainWindow>
#include <QMenuBar>
#include <QRawFont>
#include <QToolBar>
#include <filesystem>
#include <fstream>
#include <set>

#include "client/app/testing/live_service.h"
#include "client/frame/shots.h"

namespace {

// Distinct colours of an image: a blank grab has one or two.
int Colours(const QImage& image) {
  std::set<QRgb> seen;
  for (int y = 0; y < image.height(); y += 2)
    for (int x = 0; x < image.width(); x += 2) seen.insert(image.pixel(x, y));
  return static_cast<int>(seen.size());
}

TEST(FrameQtTest, SessionScreenshotsShowTheLoginTheFrameAndAScreen) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  setenv("TELLOMAR_RPC_CONNECT_TIMEOUT_MS", "3000", 1);
  static int argc = 1;
  static char name[] = "tellomar_frame_qt_test";
  static char* argv[] = {name, nullptr};
  QApplication qapp(argc, argv);

  LiveService service;
  ASSERT_EQ(service.error(), "");
  const auto dir = std::filesystem::temp_directory_path() / ("tellomar_frame_qt." + std::to_string(getpid()));
  std::filesystem::create_directories(dir / "Env");
  std::ofstream(dir / "Env/Tellomar.INI") << "[Tellomar]\r\nSERVER_IP_ADDR=localhost\r\n";
  {
    CTellomarEnv setup;
    setup.m_strServerIP = "127.0.0.1";
    setup.m_strServerPort = service.port();
    setup.m_strDBName = "NEW_ORV";
    setup.RDBServerOpen();
    for (const char* sql : {"insert into USER_INFO (USER_ID, USER_NM, PASSWORD, REMAIN_PAY) values ('demo', '데모', "
                            "'demo1234', 900000)",
                            "insert into SERVICE_INFO (SVC_ID, USER_ID, SVC_NM, SVC_TYPE) values (1, 'demo', '안내', 1)",
                            "insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('USE_IPT', '0', '일반')"}) {
      ASSERT_EQ(setup.ExecuteSQL(sql, false), 1) << sql;
    }
    setup.RDBServerClose();
  }

  ShotsOptions o;
  o.out_dir = (dir / "shots").string();
  o.login_id = "demo";
  o.password = "demo1234";
  o.db_port = service.port();
  o.ini_path = (dir / "Env/Tellomar.INI").string();
  o.zevrin_ini_path = (dir / "Env/Zevrin.INI").string();
  o.profile_file = (dir / "profile.ini").string();
  QStringList menus, tools;
  QString title;
  o.inspect = [&](ui::qt::QtHost& host, CMainFrame& frame) {
    auto* main = qobject_cast<QMainWindow*>(host.WidgetFor(frame));
    ASSERT_NE(main, nullptr);
    title = main->windowTitle();
    for (QAction* a : main->menuBar()->actions()) menus << a->text();
    for (QToolBar* bar : main->findChildren<QToolBar*>())
      for (QAction* a : bar->actions())
        if (!a->isSeparator()) tools << a->toolTip();
    const QRawFont raw = QRawFont::fromFont(host.dialog_font());
    for (QChar ch : QStringLiteral("로그인사용자비밀번호통보데이터조회"))
      EXPECT_TRUE(raw.supportsCharacter(ch)) << static_cast<int>(ch.unicode());
  };
  ShotsResult r = TakeScreenshots(o);
  ASSERT_TRUE(r.ok) << r.error;
  const auto shots = dir / "shots";
  EXPECT_EQ(r.files, (std::vector<std::string>{(shots / "login.png").string(), (shots / "dialog1.png").string(),
                                               (shots / "main_frame.png").string(), (shots / "screen.png").string(),
                                               (shots / "send_data.png").string()}));
  for (const std::string& f : r.files) {
    QImage image(QString::fromStdString(f));
    ASSERT_FALSE(image.isNull()) << f;
    EXPECT_GT(Colours(image), 4) << f;
  }
  QImage login(QString::fromStdString(r.files[0]));
  QImage frame(QString::fromStdString(r.files[2]));
  QImage screen(QString::fromStdString(r.files[3]));
  EXPECT_LT(login.width(), 400);
  EXPECT_GE(frame.width(), 800);
  EXPECT_NE(frame, screen);  // the screen's child window shows
  EXPECT_EQ(title, QStringLiteral("Tellomar(localhost) - 통보 안된 데이터 조회"));
  EXPECT_EQ(menus, (QStringList{"ORV(&A)", "서비스설정", "여론조사", "데이터관리", "보기(&V)", "창(&W)", "도움말(&H)"}));
  ASSERT_EQ(tools.size(), 12);
  EXPECT_EQ(tools[0], QStringLiteral("데이터 가져오기및 가져온 데이터를 서버로 전송 합니다."));
  std::filesystem::remove_all(dir);
}

}  // namespace
