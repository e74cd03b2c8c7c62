// The About box as a person sees it: through the Qt host, offscreen.
#include "client/app/about_dlg.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "ui/qt/qt_host.h"

namespace {

TEST(AboutBoxOnQt, ShowsTitleTextAndButton) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "about_dlg_qt_test";
  static char* argv[] = {name, nullptr};
  QApplication qapp(argc, argv);
  ui::qt::QtHost host;
  ui::App app(host);
  CAboutDlg dlg(app, "Mar  9 2013", "12:56:04");
  ASSERT_TRUE(dlg.Create());
  QWidget* window = host.WidgetFor(dlg);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle().toStdString(), "Tellomar(Mar  9 2013-12:56:04)");
  auto* text = qobject_cast<QLabel*>(host.WidgetFor(dlg.Get(CAboutDlg::kVersionText)));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->text().toStdString(), "Tellomar 버전 2.0");
  auto* ok = qobject_cast<QPushButton*>(host.WidgetFor(dlg.Get(ui::IDOK)));
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text().toStdString(), "확인");
  EXPECT_TRUE(ok->geometry().right() <= window->width());
  QImage shot = host.Grab(dlg);
  EXPECT_FALSE(shot.isNull());
  if (const char* out = std::getenv("TELLOMAR_GRAB_DIR")) shot.save(QString(out) + "/about_box.png");
  dlg.EndDialog(ui::IDOK);
}

}  // namespace
