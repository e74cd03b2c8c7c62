#include "client/app/about_dlg.h"

#include <gtest/gtest.h>

#include "ui/testhost/test_host.h"

namespace {

TEST(AboutBox, TitleTextAndButton) {
  ui::TestHost host;
  ui::App app(host);
  std::string seen_text, seen_button;
  host.AnswerDialog([&](ui::Dialog& d) {
    seen_text = d.Get(CAboutDlg::kVersionText).Text();
    seen_button = d.Get(ui::IDOK).Text();
    EXPECT_TRUE(host.Click(d, ui::IDOK));
  });
  CAboutDlg dlg(app, "Mar  9 2013", "12:56:04");
  EXPECT_EQ(dlg.DoModal(), ui::IDOK);
  ASSERT_EQ(host.modals().size(), 1u);
  EXPECT_EQ(host.modals()[0].caption, "Tellomar(Mar  9 2013-12:56:04)");
  EXPECT_EQ(seen_text, "Tellomar 버전 2.0");
  EXPECT_EQ(seen_button, "확인");
  EXPECT_TRUE(host.faults().empty());
}

TEST(AboutBox, DefaultTitleCarriesThisBuild) {
  EXPECT_EQ(CAboutDlg::Title(CAboutDlg::kBuildDate, CAboutDlg::kBuildTime),
            std::string("Tellomar(") + __DATE__ + "-" + CAboutDlg::kBuildTime + ")");
}

}  // namespace
