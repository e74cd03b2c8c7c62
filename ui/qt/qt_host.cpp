#include "ui/qt/qt_host.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialog>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/qt/report_model.h"

namespace ui::qt {

namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string S(const QString& s) { return s.toStdString(); }

// Static text: the platform's "\r\n" breaks, '&' marks a mnemonic ("&&" is '&').
QString LabelText(std::string_view text) {
  QString t = Q(text);
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QString out;
  for (qsizetype i = 0; i < t.size(); ++i) {
    if (t[i] == u'&') {
      if (i + 1 < t.size() && t[i + 1] == u'&') {
        out += u'&';
        ++i;
      }
      continue;
    }
    out += t[i];
  }
  return out;
}

// Button text keeps the mnemonic, which Qt reads the same way.
QString ButtonText(std::string_view text) {
  QString t = Q(text);
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return t;
}

QColor ToQ(Color c) { return QColor(c.r, c.g, c.b); }

// Multi-line edits hold "\r\n" as the platform does; Qt uses "\n".
QString EditToQt(const std::string& s) {
  QString t = Q(s);
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return t;
}
std::string QtToEdit(const QString& t, bool multiline) {
  if (!multiline) return S(t);
  QString c = t;
  c.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return S(c);
}

class LayerDialog : public QDialog {
 public:
  LayerDialog(Dialog& dlg, QWidget* parent) : QDialog(parent), dlg_(dlg), app_(dlg.app()) {}
  void reject() override {
    // Escape and the close box ask the dialog; the layer ends it.
    dlg_.PressEscape();
    app_.FlushRefresh();
  }

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
      if (e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier) {
        dlg_.PressEnter();
        app_.FlushRefresh();
        return;
      }
    }
    QDialog::keyPressEvent(e);
  }

 private:
  Dialog& dlg_;
  App& app_;
};

class LayerFrame : public QMainWindow {
 public:
  explicit LayerFrame(MainFrame& frame) : frame_(frame) {}

 protected:
  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    frame_.OnClose();
  }

 private:
  MainFrame& frame_;
};

// Close box of an MDI child: the view closes itself through the layer.
class ChildCloser : public QObject {
 public:
  ChildCloser(FormView& view, QObject* parent) : QObject(parent), view_(view) {}
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() != QEvent::Close) return false;
    e->ignore();
    view_.CloseFrame();
    return true;
  }

 private:
  FormView& view_;
};

// Enter in a multi-line edit that does not want returns goes to the dialog
// (its default button), as on the platform; Qt's edit would take it.
class EnterToDialog : public QObject {
 public:
  EnterToDialog(Window& w, QObject* parent) : QObject(parent), window_(w) {}
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() != QEvent::KeyPress || window_.kind() != WindowKind::Dialog) return false;
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() != Qt::Key_Return && k->key() != Qt::Key_Enter) return false;
    if (k->modifiers() != Qt::NoModifier && k->modifiers() != Qt::KeypadModifier) return false;
    static_cast<Dialog&>(window_).PressEnter();
    window_.app().FlushRefresh();
    return true;
  }

 private:
  Window& window_;
};

class DropCombo : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> before_popup;
  void showPopup() override {
    if (before_popup) before_popup();
    QComboBox::showPopup();
  }
};

const char* kOwnerDrawStyle =
    "QPushButton { border: 2px outset #b8b8b8; background: #ececec; padding: 1px 4px; }"
    "QPushButton:hover { background: #fff6c8; border-color: #d8c060; }"
    "QPushButton:pressed { border-style: inset; }"
    "QPushButton:disabled { color: #9a9a9a; }";

}  // namespace

struct QtHost::WindowData {
  QPointer<QWidget> top;      // dialog, main window or MDI child
  QPointer<QWidget> surface;  // where the controls sit
  QPointer<QMdiArea> mdi;     // frames
  QPointer<QToolBar> toolbar;
};

QtHost::QtHost() : context_(std::make_unique<QObject>()) {
  const QStringList families = QFontDatabase::families();
  font_ = QApplication::font();
  if (families.contains(QString::fromLatin1(kPreferredFamily))) font_.setFamily(QString::fromLatin1(kPreferredFamily));
  font_.setPixelSize(12);
  const QFontMetrics fm(font_);
  base_ = BaseUnitsFromText(fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")),
                            fm.height());
  QObject::connect(qApp, &QApplication::focusChanged, context_.get(), [this](QWidget*, QWidget* now) {
    auto it = controls_of_.find(now);
    if (it != controls_of_.end()) it->second->owner().UserFocus(it->second->id());
  });
}

QtHost::~QtHost() {
  for (auto& [key, t] : timers_) delete t;
}

QFont QtHost::FontFor(const Font& f) const {
  QFont q = font_;
  if (!f.face.empty()) {
    QString face = Q(f.face);
    // Korean faces of the platform and the installed families that stand in for them.
    if (face == QStringLiteral("굴림체") || face == QStringLiteral("돋움체") || face == QStringLiteral("바탕체") ||
        face.compare(QStringLiteral("GulimChe"), Qt::CaseInsensitive) == 0) {
      face = QStringLiteral("NanumGothicCoding");
    } else if (face == QStringLiteral("굴림") || face == QStringLiteral("돋움") || face == QStringLiteral("바탕") ||
               face.compare(QStringLiteral("Gulim"), Qt::CaseInsensitive) == 0) {
      face = QString::fromLatin1(kPreferredFamily);
    }
    if (QFontDatabase::families().contains(face)) q.setFamily(face);
  }
  if (f.height > 0) q.setPixelSize(f.height);
  q.setBold(f.weight >= 600);
  return q;
}

QWidget* QtHost::WidgetFor(const Window& w) const {
  auto it = windows_.find(&w);
  return it == windows_.end() ? nullptr : it->second->top.data();
}

QWidget* QtHost::WidgetFor(const Control& c) const {
  auto it = widgets_.find(&c);
  return it == widgets_.end() ? nullptr : it->second.data();
}

QImage QtHost::Grab(const Window& w) {
  QWidget* top = WidgetFor(w);
  if (!top) return {};
  if (app_) app_->FlushRefresh();
  top->ensurePolished();
  return top->grab().toImage();
}

void QtHost::AfterUser() {
  if (app_) app_->FlushRefresh();
}

void QtHost::WindowCreated(Window& w) {
  auto data = std::make_unique<WindowData>();
  QWidget* parent_widget = w.parent() ? WidgetFor(*w.parent()) : nullptr;
  const PixelRect size = ToPixels(w.size(), base_);
  QPalette pal;
  pal.setColor(QPalette::Window, ToQ(app_ ? app_->dialog_color() : kDialogBackground));

  switch (w.kind()) {
    case WindowKind::Dialog: {
      auto& dlg = static_cast<Dialog&>(w);
      auto* q = new LayerDialog(dlg, parent_widget);
      q->setWindowTitle(Q(w.Caption()));
      q->setFont(font_);
      q->setPalette(pal);
      q->setAutoFillBackground(true);
      q->setFixedSize(std::max(size.w, 1), std::max(size.h, 1));
      data->top = q;
      data->surface = q;
      break;
    }
    case WindowKind::FormView: {
      auto& view = static_cast<FormView&>(w);
      auto* surface = new QWidget;
      surface->setFont(font_);
      surface->setPalette(pal);
      surface->setAutoFillBackground(true);
      surface->setMinimumSize(size.w, size.h);
      data->surface = surface;
      auto fit = view.frame() ? windows_.find(view.frame()) : windows_.end();
      if (fit != windows_.end() && fit->second->mdi) {
        QMdiSubWindow* sub = fit->second->mdi->addSubWindow(surface);
        sub->setWindowTitle(Q(w.Caption()));
        sub->installEventFilter(new ChildCloser(view, sub));
        sub->resize(sub->sizeHint());
        sub->show();
        data->top = sub;
      } else {
        surface->setWindowTitle(Q(w.Caption()));
        data->top = surface;
      }
      break;
    }
    case WindowKind::Frame: {
      auto* q = new LayerFrame(static_cast<MainFrame&>(w));
      q->setFont(font_);
      auto* mdi = new QMdiArea;
      q->setCentralWidget(mdi);
      data->toolbar = q->addToolBar(QString());
      data->toolbar->setIconSize(QSize(32, 32));
      q->setWindowTitle(Q(w.Caption()));
      q->resize(1024, 768);
      data->top = q;
      data->surface = mdi;
      data->mdi = mdi;
      break;
    }
  }
  QWidget* surface = data->surface;
  windows_[&w] = std::move(data);
  if (w.kind() == WindowKind::Frame) {
    SyncFrame(w);
    windows_[&w]->top->show();
    return;
  }
  BuildControls(w, surface);
  // Modeless dialogs show at once; a modal one shows in RunModal.
  if (w.kind() == WindowKind::Dialog && !static_cast<Dialog&>(w).modal() && w.Visible()) windows_[&w]->top->show();
}

void QtHost::BuildControls(Window& w, QWidget* surface) {
  std::vector<QWidget*> group_boxes;
  for (auto& c : w.controls()) {
    QWidget* widget = MakeWidget(*c, surface);
    if (!widget) continue;
    PixelRect r = ToPixels(c->rect(), base_);
    if (c->kind() == ControlKind::ComboBox) r.h = widget->sizeHint().height();  // the rest is the drop-down
    widget->setGeometry(r.x, r.y, std::max(r.w, 1), std::max(r.h, 1));
    widgets_[c.get()] = widget;
    controls_of_[widget] = c.get();
    if (c->kind() == ControlKind::GroupBox) group_boxes.push_back(widget);
    Refresh(*c, ~0u);
  }
  for (QWidget* g : group_boxes) g->lower();
}

QWidget* QtHost::MakeWidget(Control& c, QWidget* surface) {
  switch (c.kind()) {
    case ControlKind::Static: {
      auto* l = new QLabel(surface);
      l->setWordWrap(true);
      Qt::Alignment h = c.HasStyle(kCenter) ? Qt::AlignHCenter : c.HasStyle(kRight) ? Qt::AlignRight : Qt::AlignLeft;
      l->setAlignment(h | Qt::AlignTop);
      if (c.HasStyle(kSunken)) l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      return l;
    }
    case ControlKind::GroupBox:
      return new QGroupBox(surface);
    case ControlKind::Edit:
    case ControlKind::TextBox: {
      auto& e = static_cast<Edit&>(c);
      const bool multiline = c.HasStyle(kMultiline);
      if (multiline) {
        auto* t = new QPlainTextEdit(surface);
        if (!c.HasStyle(kWantReturn)) t->installEventFilter(new EnterToDialog(c.owner(), t));
        QObject::connect(t, &QPlainTextEdit::textChanged, t, [this, &e, t] {
          std::string want = QtToEdit(t->toPlainText(), true);
          std::string got = e.UserType(want);
          if (got != want) {
            QSignalBlocker block(t);
            t->setPlainText(EditToQt(got));
            t->moveCursor(QTextCursor::End);
          }
          AfterUser();
        });
        return t;
      }
      auto* l = new QLineEdit(surface);
      if (c.HasStyle(kPassword)) l->setEchoMode(QLineEdit::Password);
      if (c.HasStyle(kNumber)) {
        l->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), l));
      }
      if (c.HasStyle(kCenter)) l->setAlignment(Qt::AlignHCenter);
      if (c.HasStyle(kRight)) l->setAlignment(Qt::AlignRight);
      QObject::connect(l, &QLineEdit::textEdited, l, [this, &e, l](const QString& text) {
        std::string want = S(text);
        std::string got = e.UserType(want);
        if (got != want) {
          QSignalBlocker block(l);
          l->setText(Q(got));
        }
        AfterUser();
      });
      return l;
    }
    case ControlKind::Button: {
      auto* b = new QPushButton(surface);
      b->setAutoDefault(false);  // Enter is the layer's business
      b->setDefault(false);
      if (c.HasStyle(kOwnerDraw) && !c.HasStyle(kFlat)) b->setStyleSheet(QString::fromLatin1(kOwnerDrawStyle));
      if (c.HasStyle(kFlat)) b->setFlat(true);
      auto& btn = static_cast<Button&>(c);
      QObject::connect(b, &QPushButton::clicked, b, [this, &btn] {
        btn.UserClick();
        AfterUser();
      });
      return b;
    }
    case ControlKind::CheckBox:
    case ControlKind::Radio: {
      QAbstractButton* b = c.kind() == ControlKind::CheckBox ? static_cast<QAbstractButton*>(new QCheckBox(surface))
                                                             : new QRadioButton(surface);
      b->setAutoExclusive(false);  // groups are the layer's
      auto& btn = static_cast<Button&>(c);
      QObject::connect(b, &QAbstractButton::clicked, b, [this, &btn, b] {
        btn.UserClick();
        AfterUser();
        QSignalBlocker block(b);
        b->setChecked(btn.Check() == 1);
      });
      return b;
    }
    case ControlKind::ComboBox: {
      auto* cb = new DropCombo(surface);
      auto& combo = static_cast<ComboBox&>(c);
      cb->setEditable(!c.HasStyle(kDropDownList));
      cb->setMaxVisibleItems(std::max(3, ToPixels(c.rect(), base_).h / std::max(1, cb->fontMetrics().height())));
      cb->before_popup = [this, &combo] {
        combo.UserDropDown();  // a handler may reload the items
        AfterUser();
      };
      QObject::connect(cb, &QComboBox::activated, cb, [this, &combo](int index) {
        combo.UserSelect(index);
        AfterUser();
      });
      if (cb->isEditable()) {
        QObject::connect(cb, &QComboBox::editTextChanged, cb, [&combo](const QString& t) { combo.SetText(S(t)); });
      }
      return cb;
    }
    case ControlKind::ListBox: {
      auto* lw = new QListWidget(surface);
      auto& combo = static_cast<ComboBox&>(c);
      QObject::connect(lw, &QListWidget::currentRowChanged, lw, [this, &combo](int row) {
        if (row >= 0 && row != combo.CurSel()) {
          combo.UserSelect(row);
          AfterUser();
        }
      });
      return lw;
    }
    case ControlKind::ReportList: {
      auto& list = static_cast<ReportList&>(c);
      auto* view = new QTableView(surface);
      auto* model = new ReportModel(list, view);
      view->setModel(model);
      view->setSelectionMode(QAbstractItemView::NoSelection);  // selection lives in the list
      view->setEditTriggers(QAbstractItemView::NoEditTriggers);
      view->setShowGrid(c.HasStyle(kGridLines));
      view->setWordWrap(false);
      view->verticalHeader()->hide();
      view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
      view->verticalHeader()->setDefaultSectionSize(QFontMetrics(font_).height() + 4);
      view->horizontalHeader()->setSectionsClickable(true);
      view->horizontalHeader()->setHighlightSections(false);
      view->horizontalHeader()->setStretchLastSection(false);
      view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
      QObject::connect(view, &QTableView::pressed, view, [this, &list](const QModelIndex& i) {
        list.UserClickRow(i.row(), (QApplication::keyboardModifiers() & Qt::ControlModifier) != 0);
        AfterUser();
      });
      QObject::connect(view, &QTableView::doubleClicked, view, [this, &list](const QModelIndex& i) {
        list.UserDoubleClickRow(i.row());
        AfterUser();
      });
      QObject::connect(view->horizontalHeader(), &QHeaderView::sectionClicked, view, [this, &list](int col) {
        list.UserClickHeader(col);
        AfterUser();
      });
      return view;
    }
    case ControlKind::Tree: {
      auto* tw = new QTreeWidget(surface);
      tw->setHeaderHidden(true);
      auto& tree = static_cast<Tree&>(c);
      QObject::connect(tw, &QTreeWidget::currentItemChanged, tw, [this, &tree](QTreeWidgetItem* now, QTreeWidgetItem*) {
        Tree::Handle h = now ? now->data(0, Qt::UserRole).toInt() : 0;
        if (h != tree.Selected()) {
          tree.UserSelect(h);
          AfterUser();
        }
      });
      return tw;
    }
    case ControlKind::DateTime: {
      auto* d = new QDateTimeEdit(surface);
      if (c.HasStyle(kTimeFormat)) {
        d->setDisplayFormat(QStringLiteral("HH:mm:ss"));
      } else {
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setCalendarPopup(true);
      }
      auto& picker = static_cast<DateTimePicker&>(c);
      QObject::connect(d, &QDateTimeEdit::dateTimeChanged, d, [this, &picker](const QDateTime& v) {
        const QDate dd = v.date();
        const QTime tt = v.time();
        picker.UserSetValue(DateTime{dd.year(), dd.month(), dd.day(), tt.hour(), tt.minute(), tt.second()});
        AfterUser();
      });
      return d;
    }
    case ControlKind::Spin: {
      auto* box = new QWidget(surface);
      auto* lay = new QVBoxLayout(box);
      lay->setContentsMargins(0, 0, 0, 0);
      lay->setSpacing(0);
      auto& spin = static_cast<Spin&>(c);
      for (int step : {1, -1}) {
        auto* b = new QToolButton(box);
        b->setArrowType(step > 0 ? Qt::UpArrow : Qt::DownArrow);
        b->setAutoRepeat(true);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        lay->addWidget(b);
        QObject::connect(b, &QToolButton::clicked, b, [this, &spin, step] {
          spin.UserStep(step);
          AfterUser();
        });
      }
      return box;
    }
    case ControlKind::Progress: {
      auto* p = new QProgressBar(surface);
      p->setTextVisible(false);
      return p;
    }
  }
  return nullptr;
}

void QtHost::SyncCommon(Control& c, QWidget* widget, std::uint32_t changes) {
  if (changes & kChangeEnabled) widget->setEnabled(c.Enabled());
  if (changes & kChangeVisible) {
    bool shown = c.Visible();
    if (c.kind() == ControlKind::ReportList) widget->setUpdatesEnabled(static_cast<ReportList&>(c).Redraw());
    widget->setVisible(shown);
  }
  if (changes & kChangeLook) {
    widget->setToolTip(Q(c.Tooltip()));
    Font f = c.font();
    if (!(f == Font{})) widget->setFont(FontFor(f));
    auto text = c.text_color();
    auto back = c.back_color();
    if (c.kind() == ControlKind::Static || c.kind() == ControlKind::TextBox) {
      QPalette pal = widget->palette();
      if (text) pal.setColor(QPalette::WindowText, ToQ(*text));
      if (text) pal.setColor(QPalette::Text, ToQ(*text));
      if (back) {
        pal.setColor(QPalette::Window, ToQ(*back));
        pal.setColor(QPalette::Base, ToQ(*back));
      }
      widget->setPalette(pal);
      // Statics without their own colour are transparent on the dialog colour.
      widget->setAutoFillBackground(back.has_value());
    }
  }
  if ((changes & kChangeFocus) && c.owner().Focus() == c.id()) widget->setFocus();
}

void QtHost::Refresh(Control& c, std::uint32_t changes) {
  QWidget* widget = WidgetFor(c);
  if (!widget) return;
  SyncCommon(c, widget, changes);
  switch (c.kind()) {
    case ControlKind::Static:
      if (changes & kChangeText) static_cast<QLabel*>(widget)->setText(LabelText(c.Text()));
      break;
    case ControlKind::GroupBox:
      if (changes & kChangeText) static_cast<QGroupBox*>(widget)->setTitle(ButtonText(c.Text()));
      break;
    case ControlKind::Edit:
    case ControlKind::TextBox: {
      auto& e = static_cast<Edit&>(c);
      if (auto* t = qobject_cast<QPlainTextEdit*>(widget)) {
        if (changes & kChangeText) {
          QString want = EditToQt(e.Text());
          if (t->toPlainText() != want) {
            QSignalBlocker block(t);
            t->setPlainText(want);
          }
        }
        if (changes & kChangeLook) t->setReadOnly(e.ReadOnly());
      } else if (auto* l = qobject_cast<QLineEdit*>(widget)) {
        if (changes & kChangeText) {
          QString want = Q(e.Text());
          if (l->text() != want) {
            QSignalBlocker block(l);
            l->setText(want);
          }
        }
        if (changes & kChangeLook) l->setReadOnly(e.ReadOnly());
      }
      break;
    }
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::Radio: {
      auto* b = static_cast<QAbstractButton*>(widget);
      if (changes & kChangeText) b->setText(ButtonText(c.Text()));
      if (changes & kChangeSelection) {
        QSignalBlocker block(b);
        if (auto* cb = qobject_cast<QCheckBox*>(b)) {
          int check = static_cast<Button&>(c).Check();
          cb->setTristate(check == 2);
          cb->setCheckState(check == 2 ? Qt::PartiallyChecked : check == 1 ? Qt::Checked : Qt::Unchecked);
        } else {
          b->setChecked(static_cast<Button&>(c).Check() == 1);
        }
      }
      break;
    }
    case ControlKind::ComboBox: {
      auto& combo = static_cast<ComboBox&>(c);
      auto* cb = static_cast<QComboBox*>(widget);
      QSignalBlocker block(cb);
      if (changes & kChangeItems) {
        cb->clear();
        for (const std::string& s : combo.Items()) cb->addItem(Q(s));
      }
      if (changes & (kChangeItems | kChangeSelection | kChangeText)) {
        cb->setCurrentIndex(combo.CurSel());
        if (cb->isEditable() && combo.CurSel() < 0) cb->setEditText(Q(combo.Text()));
      }
      break;
    }
    case ControlKind::ListBox: {
      auto& combo = static_cast<ComboBox&>(c);
      auto* lw = static_cast<QListWidget*>(widget);
      QSignalBlocker block(lw);
      if (changes & kChangeItems) {
        lw->clear();
        for (const std::string& s : combo.Items()) lw->addItem(Q(s));
      }
      if (changes & (kChangeItems | kChangeSelection)) lw->setCurrentRow(combo.CurSel());
      break;
    }
    case ControlKind::ReportList: {
      auto& list = static_cast<ReportList&>(c);
      auto* view = static_cast<QTableView*>(widget);
      auto* model = static_cast<ReportModel*>(view->model());
      model->Sync(changes);
      if (changes & kChangeColumns) {
        for (int i = 0, n = list.ColumnCount(); i < n; ++i) {
          int width = list.Column(i).width;
          view->setColumnHidden(i, width == 0);
          if (width > 0) view->setColumnWidth(i, width);
        }
      }
      break;
    }
    case ControlKind::Tree: {
      auto& tree = static_cast<Tree&>(c);
      auto* tw = static_cast<QTreeWidget*>(widget);
      QSignalBlocker block(tw);
      if (changes & kChangeItems) {
        tw->clear();
        std::function<void(Tree::Handle, QTreeWidgetItem*)> add = [&](Tree::Handle parent, QTreeWidgetItem* into) {
          for (Tree::Handle h : tree.Children(parent)) {
            auto* item = into ? new QTreeWidgetItem(into) : new QTreeWidgetItem(tw);
            item->setText(0, Q(tree.ItemText(h)));
            item->setData(0, Qt::UserRole, h);
            add(h, item);
            item->setExpanded(tree.Expanded(h));
          }
        };
        add(Tree::kRoot, nullptr);
      }
      if (changes & (kChangeItems | kChangeSelection)) {
        Tree::Handle sel = tree.Selected();
        QTreeWidgetItem* found = nullptr;
        for (QTreeWidgetItemIterator it(tw); *it && !found; ++it)
          if ((*it)->data(0, Qt::UserRole).toInt() == sel) found = *it;
        tw->setCurrentItem(found);
      }
      break;
    }
    case ControlKind::DateTime: {
      if (changes & kChangeValue) {
        DateTime v = static_cast<DateTimePicker&>(c).Value();
        auto* d = static_cast<QDateTimeEdit*>(widget);
        QSignalBlocker block(d);
        d->setDateTime(QDateTime(QDate(v.year, v.month, v.day), QTime(v.hour, v.minute, v.second)));
      }
      break;
    }
    case ControlKind::Spin:
      break;
    case ControlKind::Progress: {
      if (changes & kChangeValue) {
        auto& p = static_cast<Progress&>(c);
        auto* bar = static_cast<QProgressBar*>(widget);
        auto [lo, hi] = p.Range();
        bar->setRange(lo, hi);
        bar->setValue(p.Pos());
      }
      break;
    }
  }
}

void QtHost::SyncFrame(Window& w) {
  auto it = windows_.find(&w);
  if (it == windows_.end()) return;
  WindowData& d = *it->second;
  auto& frame = static_cast<MainFrame&>(w);
  auto* q = static_cast<QMainWindow*>(d.top.data());
  if (!q) return;
  QString title = Q(w.Caption());
  if (FormView* v = frame.ActiveView()) title += QStringLiteral(" - ") + Q(v->Title());
  q->setWindowTitle(title);

  QMenuBar* bar = q->menuBar();
  bar->clear();
  auto add_items = [&](auto& self, QMenu* menu, const std::vector<MenuItem>& items) -> void {
    for (const MenuItem& m : items) {
      if (m.separator()) {
        menu->addSeparator();
      } else if (!m.items.empty()) {
        self(self, menu->addMenu(ButtonText(m.text)), m.items);
      } else {
        QAction* a = menu->addAction(ButtonText(m.text));
        a->setEnabled(frame.CommandEnabled(m.id));
        a->setStatusTip(Q(frame.CommandPrompt(m.id)));
        QObject::connect(a, &QAction::triggered, a, [this, &frame, id = m.id] {
          frame.Command(id);
          AfterUser();
        });
      }
    }
  };
  for (const MenuItem& popup : frame.Menu()) {
    QMenu* menu = bar->addMenu(ButtonText(popup.text));
    add_items(add_items, menu, popup.items);
  }
  if (d.toolbar) {
    d.toolbar->clear();
    for (int id : frame.Toolbar()) {
      if (id == 0) {
        d.toolbar->addSeparator();
        continue;
      }
      QString prompt = Q(frame.CommandPrompt(id));
      QAction* a = d.toolbar->addAction(prompt.isEmpty() ? QString::number(id) : prompt.left(79));
      a->setToolTip(prompt.left(79));
      a->setEnabled(frame.CommandEnabled(id));
      QObject::connect(a, &QAction::triggered, a, [this, &frame, id] {
        frame.Command(id);
        AfterUser();
      });
    }
    d.toolbar->setVisible(frame.ToolbarShown());
  }
  q->statusBar()->setVisible(frame.StatusBarShown());
  q->statusBar()->showMessage(Q(frame.StatusText()));
  if (d.mdi) {
    if (FormView* v = frame.ActiveView()) {
      if (auto* sub = qobject_cast<QMdiSubWindow*>(WidgetFor(*v))) d.mdi->setActiveSubWindow(sub);
    }
  }
}

void QtHost::WindowChanged(Window& w) {
  auto it = windows_.find(&w);
  if (it == windows_.end()) return;
  if (w.kind() == WindowKind::Frame) {
    SyncFrame(w);
    return;
  }
  QWidget* top = it->second->top;
  if (!top) return;
  top->setWindowTitle(Q(w.Caption()));
  if (w.kind() == WindowKind::Dialog && !static_cast<Dialog&>(w).modal()) top->setVisible(w.Visible());
}

void QtHost::WindowDestroyed(Window& w) {
  for (auto it = timers_.begin(); it != timers_.end();) {
    if (it->first.first == &w) {
      it->second->stop();
      it->second->deleteLater();
      it = timers_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& c : w.controls()) {
    if (QWidget* widget = WidgetFor(*c)) controls_of_.erase(widget);
    widgets_.erase(c.get());
  }
  auto it = windows_.find(&w);
  if (it == windows_.end()) return;
  if (QWidget* top = it->second->top) {
    top->hide();
    // Later: the window may be destroyed from inside one of its own signals.
    top->deleteLater();
  }
  windows_.erase(it);
}

void QtHost::RunModal(Dialog& dlg) {
  auto it = windows_.find(&dlg);
  if (it == windows_.end()) return;
  auto* q = static_cast<QDialog*>(it->second->top.data());
  q->setWindowModality(Qt::ApplicationModal);
  q->exec();
}

void QtHost::EndModal(Dialog& dlg) {
  auto it = windows_.find(&dlg);
  if (it == windows_.end()) return;
  if (auto* q = qobject_cast<QDialog*>(it->second->top.data())) q->done(dlg.result());
}

int QtHost::ShowMessageBox(Window* owner, std::string_view text, std::string_view caption, unsigned type) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (type & MB_ICONMASK) {
    case MB_ICONERROR: icon = QMessageBox::Critical; break;
    case MB_ICONQUESTION: icon = QMessageBox::Question; break;
    case MB_ICONWARNING: icon = QMessageBox::Warning; break;
    case MB_ICONINFORMATION: icon = QMessageBox::Information; break;
    default: break;
  }
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  QMessageBox::StandardButton escape = QMessageBox::Ok;
  switch (type & MB_BUTTONMASK) {
    case MB_OKCANCEL: buttons = QMessageBox::Ok | QMessageBox::Cancel; escape = QMessageBox::Cancel; break;
    case MB_YESNO: buttons = QMessageBox::Yes | QMessageBox::No; escape = QMessageBox::NoButton; break;
    case MB_YESNOCANCEL:
      buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      escape = QMessageBox::Cancel;
      break;
    default: break;
  }
  QString body = Q(text);
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(icon, Q(caption), body, buttons, owner ? WidgetFor(*owner) : nullptr);
  box.setFont(font_);
  if (escape != QMessageBox::NoButton) box.setEscapeButton(escape);
  switch (box.exec()) {
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Ok: return IDOK;
    default: return (type & MB_BUTTONMASK) == MB_OK ? IDOK : IDCANCEL;
  }
}

std::optional<std::vector<std::string>> QtHost::ShowFileDialog(Window* owner, const FileDialogSpec& spec) {
  QFileDialog dlg(owner ? WidgetFor(*owner) : nullptr, Q(spec.title), Q(spec.initial_dir));
  QStringList filters;
  if (auto parsed = ParseFileFilter(spec.filter)) {
    for (const FileFilter& f : *parsed) {
      QStringList pats;
      for (const std::string& p : f.patterns) pats << Q(p);
      // Qt reads the patterns from the last parentheses, separated by blanks:
      // the description's own "(*.txt;*.dat)" gives way to "(*.txt *.dat)".
      QString desc = Q(f.description).trimmed();
      if (desc.endsWith(u')') && desc.lastIndexOf(u'(') > 0) desc = desc.left(desc.lastIndexOf(u'(')).trimmed();
      filters << desc + QStringLiteral(" (") + pats.join(u' ') + QStringLiteral(")");
    }
  }
  if (!filters.isEmpty()) dlg.setNameFilters(filters);
  dlg.setAcceptMode(spec.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dlg.setFileMode(spec.open ? (spec.multi_select ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile)
                            : QFileDialog::AnyFile);
  if (!spec.default_ext.empty()) dlg.setDefaultSuffix(Q(spec.default_ext));
  if (!spec.file_name.empty()) dlg.selectFile(Q(spec.file_name));
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  std::vector<std::string> out;
  for (const QString& f : dlg.selectedFiles()) out.push_back(S(f));
  if (out.empty()) return std::nullopt;
  return out;
}

void QtHost::SetTimer(Window& w, unsigned id, unsigned interval_ms) {
  QTimer*& t = timers_[{&w, id}];
  if (!t) {
    t = new QTimer(context_.get());
    QObject::connect(t, &QTimer::timeout, t, [this, &w, id] {
      w.OnTimer(id);
      AfterUser();
    });
  }
  // The platform's shortest interval; starting an active timer restarts it.
  t->start(static_cast<int>(std::max(interval_ms, 10u)));
}

void QtHost::KillTimer(Window& w, unsigned id) {
  auto it = timers_.find({&w, id});
  if (it == timers_.end()) return;
  it->second->stop();
  // Later: the timer may be killed from inside its own timeout.
  it->second->deleteLater();
  timers_.erase(it);
}

void QtHost::SetWaitCursor(bool on) {
  if (on == wait_cursor_) return;
  wait_cursor_ = on;
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void QtHost::Arrange(Window& frame, MdiArrange how) {
  auto it = windows_.find(&frame);
  if (it == windows_.end() || !it->second->mdi) return;
  if (how == MdiArrange::Cascade) it->second->mdi->cascadeSubWindows();
  if (how == MdiArrange::Tile) it->second->mdi->tileSubWindows();
}

void QtHost::ProcessEvents() { QCoreApplication::processEvents(); }

void QtHost::Wake() {
  // One queued wake-up at a time; it runs whatever has piled up.
  if (wake_posted_.exchange(true)) return;
  QMetaObject::invokeMethod(
      context_.get(),
      [this] {
        wake_posted_ = false;
        if (app_) app_->dispatcher().RunPending();
      },
      Qt::QueuedConnection);
}

}  // namespace ui::qt
