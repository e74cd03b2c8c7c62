#include "ui/app.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ui/testhost/test_host.h"

namespace ui {
namespace {

TEST(FileFilterTest, ParsesTheScreensFilters) {
  auto f = ParseFileFilter("CSV 파일 (*.csv)|*.csv|Excel (*.xls;*.xlsx)|*.xls; *.xlsx|모든 파일 (*.*)|*.*||");
  ASSERT_TRUE(f);
  ASSERT_EQ(f->size(), 3u);
  EXPECT_EQ((*f)[0], (FileFilter{"CSV 파일 (*.csv)", {"*.csv"}}));
  EXPECT_EQ((*f)[1].patterns, (std::vector<std::string>{"*.xls", "*.xlsx"}));
  EXPECT_EQ((*f)[2].description, "모든 파일 (*.*)");
}

TEST(FileFilterTest, RoundTrip) {
  for (const char* text : {"CSV 파일 (*.csv)|*.csv|모든 파일 (*.*)|*.*||", "Excel|*.xls;*.xlsx||", "||"}) {
    auto f = ParseFileFilter(text);
    ASSERT_TRUE(f) << text;
    std::string again = FormatFileFilter(*f);
    if (!f->empty()) {
      EXPECT_EQ(again, text);
    }
    EXPECT_EQ(ParseFileFilter(again), f);
  }
}

TEST(FileFilterTest, EdgeCasesAndErrors) {
  struct Case {
    const char* text;
    int filters;  // -1 = error
  };
  const Case cases[] = {
      {"", 0},
      {"A|*.a", 1},             // without the final bars
      {"A|*.a|", 1},
      {"A|*.a||B|*.b||", 1},    // the list ends at the double bar
      {"A", -1},                // description without patterns
      {"A||", -1},
      {"A|*.a|B", -1},
      {"|*.a||", -1},           // patterns without a description
      {"A|*.a;;*.b||", -1},     // empty pattern
  };
  for (const Case& c : cases) {
    auto f = ParseFileFilter(c.text);
    if (c.filters < 0) {
      EXPECT_FALSE(f) << c.text;
    } else {
      ASSERT_TRUE(f) << c.text;
      EXPECT_EQ(static_cast<int>(f->size()), c.filters) << c.text;
    }
  }
}

TEST(AppTest, MessageBoxFromWorkerIsShownByTheUiThread) {
  TestHost host;
  App app(host);
  host.AnswerMessageBox(IDYES);
  std::atomic<int> answer{0};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    answer = app.MessageBox(nullptr, "1000건 이상입니다. 계속 하시겠습니까?", kCaptionConfirm, MB_YESNO | MB_ICONQUESTION);
    done = true;
  });
  ASSERT_TRUE(host.PumpUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(answer, IDYES);
  ASSERT_EQ(host.MessageBoxes().size(), 1u);
  EXPECT_EQ(host.MessageBoxes()[0].caption, "확인");
  EXPECT_EQ(host.MessageBoxes()[0].type & MB_ICONMASK, MB_ICONQUESTION);
  EXPECT_TRUE(host.faults().empty());
}

TEST(AppTest, WaitCursorIsCountedAcrossThreads) {
  TestHost host;
  App app(host);
  {
    WaitCursor outer(app);
    std::thread([&] { WaitCursor inner(app); }).join();
    host.Pump();
    EXPECT_TRUE(host.wait_cursor());
  }
  app.EndWaitCursor();  // unmatched: ignored
  host.Pump();
  EXPECT_FALSE(host.wait_cursor());
  EXPECT_FALSE(app.WaitCursorShown());
}

TEST(AppTest, PumpMessagesRunsWorkerCallsInsideALongLoop) {
  TestHost host;
  App app(host);
  std::atomic<bool> stop{false};
  std::thread worker([&] { app.dispatcher().Send([&] { stop = true; }); });
  // A long loop on the user-interface thread that pumps once per record.
  int records = 0;
  while (!stop) {
    ++records;
    app.PumpMessages();
    if (!stop) app.dispatcher().WaitForWork(std::chrono::milliseconds(5));
  }
  worker.join();
  EXPECT_GE(records, 1);
}

}  // namespace
}  // namespace ui
