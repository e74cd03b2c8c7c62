#include "client/app/headless_host.h"

#include <gtest/gtest.h>

#include "ui/testhost/test_host.h"

namespace {

TEST(HeadlessHost, NothingWaitsForAPerson) {
  ui::TestHost inner;
  CHeadlessHost host(inner);
  ui::App app(host);
  struct Case {
    unsigned type;
    int answer;
  } cases[] = {{ui::MB_OK | ui::MB_ICONERROR, ui::IDOK},
               {ui::MB_OKCANCEL, ui::IDCANCEL},
               {ui::MB_YESNO | ui::MB_ICONQUESTION, ui::IDNO},
               {ui::MB_YESNOCANCEL, ui::IDCANCEL}};
  ::testing::internal::CaptureStderr();
  for (const Case& c : cases) EXPECT_EQ(app.MessageBox(nullptr, "본문", "에러", c.type), c.answer) << c.type;
  ui::Dialog dlg(app, "대화상자", ui::Rect{0, 0, 10, 10});
  EXPECT_EQ(dlg.DoModal(), ui::IDCANCEL);
  EXPECT_FALSE(app.FileDialog(nullptr, ui::FileDialogSpec{}).has_value());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "에러: 본문\n에러: 본문\n에러: 본문\n에러: 본문\n대화상자: (dialog)\n");
  EXPECT_TRUE(inner.modals().empty());  // nothing reached the inner host's modal paths
}

}  // namespace
