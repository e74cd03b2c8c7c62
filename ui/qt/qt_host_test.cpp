// The sample dialog through the Qt host, offscreen: widgets placed from
// dialog units, Korean text drawn with real glyphs (not boxes), a worker
// filling the virtual report model while the event loop runs, and a modal
// run ended by keys.
#include "ui/qt/qt_host.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRawFont>
#include <QTableView>
#include <QTimer>
#include <chrono>

#include "ui/testhost/sample_dialog.h"

namespace ui::qt {
namespace {

class QtHostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "ui_qt_test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) qapp_ = new QApplication(argc, argv);
  }

  // Runs the event loop (waiting for events, not sleeping) until done.
  static bool LoopUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
  }

  // Answers every message box that comes up with its given button.
  static void AnswerBoxes(QMessageBox::StandardButton button, int* answered) {
    auto* t = new QTimer(qApp);
    QObject::connect(t, &QTimer::timeout, t, [button, answered] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
          if (QAbstractButton* b = box->button(button)) {
            ++*answered;
            b->click();
          }
        }
      }
    });
    t->start(10);
  }

  static QImage Render(const QFont& font, const QString& text) {
    QImage img(48, 32, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    QFont f = font;
    f.setStyleStrategy(QFont::NoFontMerging);  // no fallback font may hide a missing glyph
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(img.rect(), Qt::AlignCenter, text);
    return img;
  }

  static int Ink(const QImage& img, QRect r) {
    int n = 0;
    r = r.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x)
        if (qGray(img.pixel(x, y)) < 128) ++n;
    return n;
  }

  static QApplication* qapp_;
  QtHost host;
  App app{host};
};
QApplication* QtHostTest::qapp_ = nullptr;

TEST_F(QtHostTest, KoreanFontHasRealHangulGlyphs) {
  const QFont& font = host.dialog_font();
  ASSERT_EQ(font.family(), QString::fromLatin1(kPreferredFamily)) << "fonts-nanum is needed";
  const QRawFont raw = QRawFont::fromFont(font);
  for (QChar ch : QStringLiteral("한글로그인확인취소에러알림경고")) EXPECT_TRUE(raw.supportsCharacter(ch)) << static_cast<int>(ch.unicode());
  // A missing glyph draws the same box for every character; Hangul must not.
  const QImage missing = Render(font, QString(QChar(0xE000)));
  const QImage han = Render(font, QStringLiteral("한"));
  const QImage geul = Render(font, QStringLiteral("글"));
  EXPECT_GT(Ink(han, han.rect()), 10);
  EXPECT_NE(han, missing);
  EXPECT_NE(geul, missing);
  EXPECT_NE(han, geul);
  // The classic dialog-unit arithmetic gives sensible base units for it.
  EXPECT_GT(host.base_units().cx, 3);
  EXPECT_GT(host.base_units().cy, 10);
}

TEST_F(QtHostTest, SampleDialogLayoutAndGrabbedKoreanText) {
  SampleDialog dlg(app);
  ASSERT_TRUE(dlg.Create());
  QWidget* top = host.WidgetFor(dlg);
  ASSERT_NE(top, nullptr);
  const BaseUnits base = host.base_units();
  EXPECT_EQ(top->size(), QSize(ToPixels(dlg.size(), base).w, ToPixels(dlg.size(), base).h));
  QWidget* edit = host.WidgetFor(dlg.Get(SampleDialog::kName));
  ASSERT_NE(qobject_cast<QLineEdit*>(edit), nullptr);
  const PixelRect r = ToPixels(dlg.Get(SampleDialog::kName).rect(), base);
  EXPECT_EQ(edit->geometry(), QRect(r.x, r.y, r.w, r.h));
  EXPECT_EQ(top->palette().color(QPalette::Window), QColor(209, 247, 254));

  auto* status = qobject_cast<QLabel*>(host.WidgetFor(dlg.Get(SampleDialog::kStatus)));
  ASSERT_NE(status, nullptr);
  dlg.Get(SampleDialog::kStatus).SetText("가나다라 전송 완료");
  const QImage shot = host.Grab(dlg);
  const QString png =
      QDir::temp().filePath(QStringLiteral("ui_qt_sample_dialog_%1.png").arg(QCoreApplication::applicationPid()));
  ASSERT_TRUE(shot.save(png, "PNG"));
  QImage loaded(png);
  ASSERT_FALSE(loaded.isNull());
  const QRect label = status->geometry();
  const int hangul_ink = Ink(loaded, label);
  EXPECT_GT(hangul_ink, 30);
  // The same label with missing-glyph characters draws different pixels.
  dlg.Get(SampleDialog::kStatus).SetText("\xee\x80\x80\xee\x80\x80\xee\x80\x80\xee\x80\x80 \xee\x80\x80\xee\x80\x80 \xee\x80\x80\xee\x80\x80");
  const QImage boxes = host.Grab(dlg);
  EXPECT_NE(loaded.copy(label), boxes.copy(label).convertToFormat(loaded.format()));
  // The transparent static shows the dialog colour around its text.
  EXPECT_EQ(QColor(loaded.pixel(label.left() + 1, label.top() + 1)), QColor(209, 247, 254));
  // Kept for a person to look at when the test fails.
  if (!HasFailure()) QFile::remove(png);
  dlg.Destroy();
}

TEST_F(QtHostTest, WorkerFillsTheVirtualModelWhileTheLoopRuns) {
  const int rows = 3000;
  SampleDialog dlg(app, rows);
  ASSERT_TRUE(dlg.Create());
  int answered = 0;
  AnswerBoxes(QMessageBox::Ok, &answered);
  auto* start = qobject_cast<QPushButton*>(host.WidgetFor(dlg.Get(SampleDialog::kStart)));
  ASSERT_NE(start, nullptr);
  start->click();
  EXPECT_FALSE(start->isEnabled());
  ASSERT_TRUE(LoopUntil([&] { return dlg.worker_done.load(); }));
  dlg.JoinWorker();
  QCoreApplication::processEvents();
  EXPECT_EQ(answered, 1);  // the worker's notice, shown by this thread
  auto* view = qobject_cast<QTableView*>(host.WidgetFor(dlg.Get(SampleDialog::kList)));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->model()->rowCount(), rows);
  EXPECT_EQ(view->model()->index(rows - 1, 1).data().toString(), QStringLiteral("010-0000-2999"));
  EXPECT_TRUE(view->isColumnHidden(3));  // the zero-width column
  EXPECT_EQ(view->columnWidth(1), 90);
  EXPECT_EQ(qobject_cast<QProgressBar*>(host.WidgetFor(dlg.Get(SampleDialog::kProgress)))->value(), 100);
  EXPECT_EQ(qobject_cast<QLabel*>(host.WidgetFor(dlg.Get(SampleDialog::kStatus)))->text(),
            QStringLiteral("3000 건 처리 완료"));
  EXPECT_TRUE(start->isEnabled());
  // A header click sorts inside the list; the model shows the new order.
  emit view->horizontalHeader()->sectionClicked(2);
  EXPECT_EQ(view->model()->index(0, 2).data().toString(), QStringLiteral("고객 999"));
  // Several rows selected by clicks, ctrl held for the second.
  emit view->pressed(view->model()->index(3, 0));
  EXPECT_EQ(dlg.Get<ReportList>(SampleDialog::kList).SelectedRows(), (std::vector<int>{3}));
  EXPECT_EQ(view->model()->index(3, 0).data(Qt::BackgroundRole).value<QBrush>(),
            QApplication::palette().brush(QPalette::Highlight));

  // The question box, answered by the user, and the countdown timer.
  int yes = 0;
  AnswerBoxes(QMessageBox::Yes, &yes);
  qobject_cast<QPushButton*>(host.WidgetFor(dlg.Get(SampleDialog::kAsk)))->click();
  EXPECT_EQ(yes, 1);
  EXPECT_EQ(qobject_cast<QLabel*>(host.WidgetFor(dlg.Get(SampleDialog::kStatus)))->text(),
            QStringLiteral("저장했습니다."));
  auto* countdown = qobject_cast<QLabel*>(host.WidgetFor(dlg.Get(SampleDialog::kCountdown)));
  EXPECT_TRUE(LoopUntil([&] { return countdown->text() == QStringLiteral("4초 남음"); }));
  dlg.Destroy();
}

struct AllKinds : Dialog {
  explicit AllKinds(App& app) : Dialog(app, "모든 컨트롤", Rect{0, 0, 240, 200}) {
    AddGroupBox(IDC_STATIC, "수동 입력", {2, 2, 236, 60});
    AddStatic(10, "전화번호", {6, 12, 40, 8});
    AddEdit(11, {50, 10, 60, 12}, kPassword);
    AddTextBox(12, {120, 10, 110, 24}, kReadOnly);
    AddCheckBox(13, "오늘은 다시 알리지 않음", {6, 26, 100, 10});
    AddRadio(14, "가", {6, 40, 30, 10}, kGroup);
    AddRadio(15, "나", {40, 40, 30, 10});
    AddListBox(16, {6, 66, 60, 40});
    AddTree(17, {70, 66, 60, 40});
    AddDateTime(18, {134, 66, 60, 12});
    AddEdit(19, {134, 82, 30, 12}, kNumber);
    AddSpin(20, {166, 82, 10, 12});
    AddProgress(21, {6, 110, 228, 8});
    AddButton(22, "닫기(&X)", {180, 180, 50, 14}, kFlat);
  }
};

TEST_F(QtHostTest, EveryControlKindBecomesItsWidgetAndTalksBack) {
  AllKinds dlg(app);
  ASSERT_TRUE(dlg.Create());
  EXPECT_NE(qobject_cast<QGroupBox*>(host.WidgetFor(*dlg.controls()[0])), nullptr);
  auto* password = qobject_cast<QLineEdit*>(host.WidgetFor(dlg.Get(11)));
  ASSERT_NE(password, nullptr);
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  auto* text = qobject_cast<QPlainTextEdit*>(host.WidgetFor(dlg.Get(12)));
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(text->isReadOnly());
  dlg.Get(12).SetText("첫 줄\r\n둘째 줄");
  app.FlushRefresh();
  EXPECT_EQ(text->toPlainText(), QStringLiteral("첫 줄\n둘째 줄"));

  auto* check = qobject_cast<QCheckBox*>(host.WidgetFor(dlg.Get(13)));
  ASSERT_NE(check, nullptr);
  check->click();
  EXPECT_EQ(dlg.Get<Button>(13).Check(), 1);
  EXPECT_TRUE(check->isChecked());
  auto* r1 = qobject_cast<QRadioButton*>(host.WidgetFor(dlg.Get(14)));
  auto* r2 = qobject_cast<QRadioButton*>(host.WidgetFor(dlg.Get(15)));
  ASSERT_TRUE(r1 && r2);
  r1->click();
  r2->click();
  EXPECT_FALSE(r1->isChecked());
  EXPECT_TRUE(r2->isChecked());
  EXPECT_EQ(dlg.Get<Button>(14).Check(), 0);

  auto& lb = dlg.Get<ComboBox>(16);
  lb.AddString("하나");
  lb.AddString("둘");
  app.FlushRefresh();
  auto* list = qobject_cast<QListWidget*>(host.WidgetFor(lb));
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), 2);
  list->setCurrentRow(1);
  EXPECT_EQ(lb.CurSel(), 1);

  auto& tree = dlg.Get<Tree>(17);
  auto root = tree.InsertItem("서비스");
  auto leaf = tree.InsertItem("1001", root);
  tree.Expand(root, true);
  app.FlushRefresh();
  auto* tw = qobject_cast<QTreeWidget*>(host.WidgetFor(tree));
  ASSERT_NE(tw, nullptr);
  ASSERT_EQ(tw->topLevelItemCount(), 1);
  tw->setCurrentItem(tw->topLevelItem(0)->child(0));
  EXPECT_EQ(tree.Selected(), leaf);

  auto& date = dlg.Get<DateTimePicker>(18);
  date.SetValue(DateTime{2006, 1, 1, 0, 0, 0});
  app.FlushRefresh();
  auto* de = qobject_cast<QDateTimeEdit*>(host.WidgetFor(date));
  ASSERT_NE(de, nullptr);
  EXPECT_EQ(de->date(), QDate(2006, 1, 1));
  de->setDate(QDate(2026, 12, 11));
  EXPECT_EQ(date.Value().Format("%Y%m%d"), "20261211");

  auto& spin = dlg.Get<Spin>(20);
  spin.SetRange(0, 10);
  spin.SetBuddy(19);
  auto arrows = host.WidgetFor(spin)->findChildren<QToolButton*>();
  ASSERT_EQ(arrows.size(), 2);
  arrows[0]->click();
  arrows[0]->click();
  EXPECT_EQ(qobject_cast<QLineEdit*>(host.WidgetFor(dlg.Get(19)))->text(), QStringLiteral("2"));

  dlg.Get<Progress>(21).SetPos(40);
  dlg.Get(22).Enable(false);
  app.FlushRefresh();
  EXPECT_EQ(qobject_cast<QProgressBar*>(host.WidgetFor(dlg.Get(21)))->value(), 40);
  EXPECT_FALSE(host.WidgetFor(dlg.Get(22))->isEnabled());
  EXPECT_FALSE(host.Grab(dlg).isNull());
  // Enter in a multi-line edit without want-return sends IDOK: the modeless
  // dialog's default OK ends it.
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(text, &enter);
  EXPECT_FALSE(dlg.created());
  EXPECT_EQ(dlg.result(), IDOK);
}

struct CloseView : FormView {
  explicit CloseView(App& app) : FormView(app, Rect{0, 0, 200, 100}) {
    AddButton(1125, "닫기(&X)", {140, 80, 50, 14}, kOwnerDraw);
    AddReportList(1006, {5, 5, 190, 70});
    On(1125, Notify::Clicked, [this] { CloseFrame(); });
  }
};

TEST_F(QtHostTest, FrameMenuOpensAViewThatClosesItself) {
  MainFrame frame(app, "Tellomar(127.0.0.1)");
  frame.SetMenu({MenuItem{0, "ORV(&A)", {{32772, "ORV 통보 안된 데이터 조회", {}}, {32773, "ORV 통보 완료된 데이터 조회", {}}}}});
  frame.SetToolbar({32772, 0, 32773});
  frame.SetCommandEnabled(32773, false);
  frame.On(32772, Notify::Command, [&] {
    if (!frame.FindView<CloseView>()) frame.OpenView(std::make_unique<CloseView>(app), "통보 안된 데이터 조회");
  });
  frame.Create();
  auto* window = qobject_cast<QMainWindow*>(host.WidgetFor(frame));
  ASSERT_NE(window, nullptr);
  QList<QAction*> actions = window->menuBar()->actions();
  ASSERT_EQ(actions.size(), 1);
  QList<QAction*> items = actions[0]->menu()->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_FALSE(items[1]->isEnabled());
  items[0]->trigger();
  items[0]->trigger();  // a second time activates the one view
  ASSERT_EQ(frame.Views().size(), 1u);
  auto* view = frame.FindView<CloseView>();
  EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("통보 안된 데이터 조회")));
  ASSERT_NE(qobject_cast<QMdiSubWindow*>(host.WidgetFor(*view)), nullptr);

  // Row images come from the list's image list.
  auto& list = view->Get<ReportList>(1006);
  list.InsertColumn(0, "NO", 72);
  list.SetImageList(ImageList::FromStrip(16, 16, std::vector<std::uint32_t>(16 * 16, 0xFF0000u), 16, Rgb(255, 255, 255)));
  list.InsertItem(0, "1", 0);
  app.FlushRefresh();
  auto* table = qobject_cast<QTableView*>(host.WidgetFor(list));
  ASSERT_NE(table, nullptr);
  const QVariant deco = table->model()->index(0, 0).data(Qt::DecorationRole);
  ASSERT_TRUE(deco.canConvert<QPixmap>());
  EXPECT_EQ(deco.value<QPixmap>().size(), QSize(16, 16));

  qobject_cast<QPushButton*>(host.WidgetFor(view->Get(1125)))->click();
  ASSERT_TRUE(LoopUntil([&] { return frame.Views().empty(); }));
  EXPECT_EQ(frame.ActiveView(), nullptr);
  frame.Destroy();
}

TEST_F(QtHostTest, FileDialogGetsTheFiltersAndWaitCursorShows) {
  const QString file =
      QDir::temp().filePath(QStringLiteral("ui_qt_목록_%1.csv").arg(QCoreApplication::applicationPid()));
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  QStringList seen;
  auto* t = new QTimer(qApp);
  QObject::connect(t, &QTimer::timeout, t, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) {
        seen = d->nameFilters();
        d->selectFile(file);
        static_cast<QDialog*>(d)->accept();  // the file dialog checks and takes the file
      }
    }
  });
  t->start(10);
  FileDialogSpec spec;
  spec.title = "파일 열기";
  spec.filter = "CSV 파일 (*.csv)|*.csv|텍스트 (*.txt;*.dat)|*.txt;*.dat||";
  auto files = app.FileDialog(nullptr, spec);
  delete t;
  EXPECT_EQ(seen, (QStringList{QStringLiteral("CSV 파일 (*.csv)"), QStringLiteral("텍스트 (*.txt *.dat)")}));
  ASSERT_TRUE(files);
  ASSERT_EQ(files->size(), 1u);
  EXPECT_EQ(QString::fromStdString(files->front()), file);
  QFile::remove(file);

  {
    WaitCursor wait(app);
    QCoreApplication::processEvents();
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  QCoreApplication::processEvents();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(QtHostTest, ModalRunTypedInHangulAndEndedByEnter) {
  SampleDialog dlg(app);
  QTimer::singleShot(0, [&] {
    auto* edit = qobject_cast<QLineEdit*>(host.WidgetFor(dlg.Get(SampleDialog::kName)));
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    for (QString syllable : {QStringLiteral("홍"), QStringLiteral("길"), QStringLiteral("동")}) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, syllable);
      QCoreApplication::sendEvent(edit, &press);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(host.WidgetFor(dlg), &enter);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.name, "홍길동");
}

}  // namespace
}  // namespace ui::qt
