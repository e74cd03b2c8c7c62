// Report list of 1,000,000 rows x 15 columns, filled and sorted by a text
// column, shown through the Qt host offscreen: the layer's compact storage
// with its virtual model against one QString per cell in a
// QStandardItemModel. Each variant runs in its own process so that its peak
// memory is its own.
//   ui_reportlist_bench [rows]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QStandardItemModel>
#include <QTableView>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "ui/qt/qt_host.h"
#include "ui/window.h"

namespace {

constexpr int kColumns = 15;
constexpr int kSortColumn = 4;  // the title, a text column

struct Result {
  double fill_s = 0;
  double sort_s = 0;
  long peak_kb = 0;
  long base_kb = 0;
  int rows_shown = 0;
  char first_after_sort[64] = {};
};

long ResidentKb() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long PeakKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// The same cells for both variants: the pending-requests layout.
struct CellMaker {
  char buf[kColumns][48];
  const char* cells[kColumns];
  void Make(int i) {
    std::snprintf(buf[0], 48, "%d", i + 1);
    std::snprintf(buf[1], 48, "%d", 1000000 + i);
    std::snprintf(buf[2], 48, "%d", 1001 + i % 7);
    std::snprintf(buf[3], 48, "서비스%d", i % 7);
    std::snprintf(buf[4], 48, "음성전송_20261211_%06d", static_cast<int>((static_cast<long long>(i) * 7919) % 1000003));
    std::snprintf(buf[5], 48, "010-%04d-%04d", (i / 10000) % 10000, i % 10000);
    std::snprintf(buf[6], 48, "고객정보 %d", i);
    std::snprintf(buf[7], 48, "홍길동");
    std::snprintf(buf[8], 48, "서울시 강남구");
    buf[9][0] = '\0';
    std::snprintf(buf[10], 48, "0212345678");
    std::snprintf(buf[11], 48, "미처리");
    std::snprintf(buf[12], 48, "%d", i % 3);
    std::snprintf(buf[13], 48, "20261211");
    std::snprintf(buf[14], 48, "%06d", i % 240000);
    for (int c = 0; c < kColumns; ++c) cells[c] = buf[c];
  }
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

Result Layer(int rows) {
  Result r;
  ui::qt::QtHost host;
  ui::App app(host);
  ui::Dialog dlg(app, "bench", ui::Rect{0, 0, 500, 300});
  auto& list = dlg.AddReportList(1, ui::Rect{0, 0, 500, 300}, ui::kGridLines | ui::kFullRowSelect);
  for (int c = 0; c < kColumns; ++c) list.InsertColumn(c, "C" + std::to_string(c), 72);
  dlg.Create();
  QCoreApplication::processEvents();
  r.base_kb = ResidentKb();

  CellMaker m;
  std::vector<std::string_view> cells(kColumns);
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < rows; ++i) {
    m.Make(i);
    for (int c = 0; c < kColumns; ++c) cells[static_cast<std::size_t>(c)] = m.cells[c];
    list.AppendRow(cells);
  }
  app.FlushRefresh();
  QCoreApplication::processEvents();
  r.fill_s = Seconds(t0);

  t0 = std::chrono::steady_clock::now();
  list.SortByText(kSortColumn, false);
  app.FlushRefresh();
  QCoreApplication::processEvents();
  r.sort_s = Seconds(t0);

  auto* view = static_cast<QTableView*>(host.WidgetFor(list));
  r.rows_shown = view->model()->rowCount();
  std::snprintf(r.first_after_sort, sizeof r.first_after_sort, "%s",
                view->model()->index(0, kSortColumn).data().toString().toStdString().c_str());
  r.peak_kb = PeakKb();
  dlg.Destroy();
  return r;
}

Result Standard(int rows) {
  Result r;
  // Left to the end of the process: tearing a million items down one by one
  // takes far longer than building them, and is not what is measured.
  auto& model = *new QStandardItemModel;
  model.setColumnCount(kColumns);
  auto& view = *new QTableView;
  view.setModel(&model);
  view.resize(750, 450);
  view.show();
  QCoreApplication::processEvents();
  r.base_kb = ResidentKb();

  CellMaker m;
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < rows; ++i) {
    m.Make(i);
    QList<QStandardItem*> items;
    items.reserve(kColumns);
    for (int c = 0; c < kColumns; ++c) items.append(new QStandardItem(QString::fromUtf8(m.cells[c])));
    model.appendRow(items);
  }
  QCoreApplication::processEvents();
  r.fill_s = Seconds(t0);

  t0 = std::chrono::steady_clock::now();
  model.sort(kSortColumn, Qt::AscendingOrder);
  QCoreApplication::processEvents();
  r.sort_s = Seconds(t0);

  r.rows_shown = model.rowCount();
  std::snprintf(r.first_after_sort, sizeof r.first_after_sort, "%s",
                model.index(0, kSortColumn).data().toString().toStdString().c_str());
  r.peak_kb = PeakKb();
  return r;
}

// Runs one variant in a child process with its own QApplication.
bool RunChild(const std::function<Result(int)>& variant, int rows, Result& out) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    close(fds[0]);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "ui_reportlist_bench";
    char* argv[] = {name, nullptr};
    QApplication qapp(argc, argv);
    Result r = variant(rows);
    ssize_t n = write(fds[1], &r, sizeof r);
    _exit(n == static_cast<ssize_t>(sizeof r) ? 0 : 1);
  }
  close(fds[1]);
  ssize_t n = read(fds[0], &out, sizeof out);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return n == static_cast<ssize_t>(sizeof out) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
  Result layer, standard;
  if (!RunChild(Layer, rows, layer) || !RunChild(Standard, rows, standard)) {
    std::fprintf(stderr, "a variant failed\n");
    return 1;
  }
  auto mb = [](long kb) { return static_cast<double>(kb) / 1024.0; };
  std::printf("report list, %d rows x %d columns, sorted by column %d (Qt host, offscreen)\n", rows, kColumns,
              kSortColumn);
  std::printf("%-26s %14s %22s %8s\n", "", "compact+virtual", "QStandardItemModel", "ratio");
  std::printf("%-26s %14.2f %22.2f %7.1fx\n", "fill (s)", layer.fill_s, standard.fill_s, standard.fill_s / layer.fill_s);
  std::printf("%-26s %14.2f %22.2f %7.1fx\n", "sort (s)", layer.sort_s, standard.sort_s, standard.sort_s / layer.sort_s);
  const double lt = layer.fill_s + layer.sort_s, st = standard.fill_s + standard.sort_s;
  std::printf("%-26s %14.2f %22.2f %7.1fx\n", "fill + sort (s)", lt, st, st / lt);
  const double lm = mb(layer.peak_kb - layer.base_kb), sm = mb(standard.peak_kb - standard.base_kb);
  std::printf("%-26s %14.0f %22.0f %7.1fx\n", "memory above start (MB)", lm, sm, sm / lm);
  std::printf("%-26s %14.0f %22.0f\n", "peak resident (MB)", mb(layer.peak_kb), mb(standard.peak_kb));
  std::printf("rows shown: %d / %d; first after sort: \"%s\" / \"%s\"\n", layer.rows_shown, standard.rows_shown,
              layer.first_after_sort, standard.first_after_sort);
  return 0;
}
