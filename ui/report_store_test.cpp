#include "ui/report_store.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace ui {
namespace {

std::vector<std::string> Column0(const ReportStore& s) {
  std::vector<std::string> out;
  for (int r = 0; r < s.RowCount(); ++r) out.emplace_back(s.Text(r, 0));
  return out;
}

ReportStore Rows(std::initializer_list<const char*> texts) {
  ReportStore s;
  s.InsertColumn(0, {"A", 50, Align::Left});
  s.InsertColumn(1, {"B", 50, Align::Left});
  int i = 0;
  for (const char* t : texts) {
    int r = s.InsertRow(s.RowCount(), t, -1, i);
    s.SetText(r, 1, std::string("b") + t);
    ++i;
  }
  return s;
}

struct StoreCase {
  const char* name;
  std::function<void(ReportStore&)> ops;
  std::vector<std::string> rows;      // column 0 after the ops
  std::vector<int> selected;          // selected rows after the ops
  std::vector<std::intptr_t> data;    // item data after the ops (empty: not checked)
};

TEST(ReportStoreTest, OperationTable) {
  const StoreCase cases[] = {
      {"insert clamps past the end", [](ReportStore& s) { s.InsertRow(99, "z"); }, {"c", "a", "b", "z"}, {}, {}},
      {"insert at the top", [](ReportStore& s) { s.InsertRow(0, "z"); }, {"z", "c", "a", "b"}, {}, {}},
      {"negative insert refused", [](ReportStore& s) { EXPECT_EQ(s.InsertRow(-1, "z"), -1); }, {"c", "a", "b"}, {}, {}},
      {"delete middle", [](ReportStore& s) { EXPECT_TRUE(s.DeleteRow(1)); }, {"c", "b"}, {}, {0, 2}},
      {"delete out of range", [](ReportStore& s) { EXPECT_FALSE(s.DeleteRow(3)); }, {"c", "a", "b"}, {}, {}},
      {"delete first rows", [](ReportStore& s) { EXPECT_TRUE(s.DeleteRows(0, 2)); }, {"b"}, {}, {2}},
      {"delete range past end refused", [](ReportStore& s) { EXPECT_FALSE(s.DeleteRows(2, 2)); }, {"c", "a", "b"}, {}, {}},
      {"sort ascending", [](ReportStore& s) { s.SortByText(0, false); }, {"a", "b", "c"}, {}, {1, 2, 0}},
      {"sort descending", [](ReportStore& s) { s.SortByText(0, true); }, {"c", "b", "a"}, {}, {0, 2, 1}},
      {"sort by data", [](ReportStore& s) { s.SortByData([](auto a, auto b) { return static_cast<int>(b - a); }); },
       {"b", "a", "c"}, {}, {2, 1, 0}},
      {"selection follows sorted rows",
       [](ReportStore& s) {
         s.SetSelected(0, true);  // "c"
         s.SortByText(0, false);
       },
       {"a", "b", "c"}, {2}, {}},
      {"selection survives deleting rows before it",
       [](ReportStore& s) {
         s.SetSelected(2, true);
         s.DeleteRow(0);
       },
       {"a", "b"}, {1}, {}},
      {"deleting a selected row drops it from the selection",
       [](ReportStore& s) {
         s.SetSelected(1, true);
         s.SetSelected(2, true);
         s.DeleteRow(1);
       },
       {"c", "b"}, {1}, {}},
      {"select all then one off",
       [](ReportStore& s) {
         EXPECT_EQ(s.SelectAll(true).size(), 3u);
         s.SetSelected(1, false);
       },
       {"c", "a", "b"}, {0, 2}, {}},
      {"clear", [](ReportStore& s) { s.Clear(); }, {}, {}, {}},
  };
  for (const StoreCase& c : cases) {
    SCOPED_TRACE(c.name);
    ReportStore s = Rows({"c", "a", "b"});
    c.ops(s);
    EXPECT_EQ(Column0(s), c.rows);
    EXPECT_EQ(s.SelectedRows(), c.selected);
    EXPECT_EQ(s.SelectedCount(), static_cast<int>(c.selected.size()));
    if (!c.data.empty()) {
      std::vector<std::intptr_t> data;
      for (int r = 0; r < s.RowCount(); ++r) data.push_back(s.Data(r));
      EXPECT_EQ(data, c.data);
    }
    // Column 1 travels with its row whatever happened.
    for (int r = 0; r < s.RowCount(); ++r) {
      if (s.Text(r, 0) != "z") {
        EXPECT_EQ(std::string(s.Text(r, 1)), "b" + std::string(s.Text(r, 0)));
      }
    }
  }
}

TEST(ReportStoreTest, SortComparesBytesUnsignedWithoutLocale) {
  // UTF-8 Hangul starts with bytes above 0x7F, so it sorts after every ASCII
  // letter; upper case before lower; "10" before "9".
  ReportStore s = Rows({"가", "b", "B", "9", "10", "나", ""});
  s.SortByText(0, false);
  EXPECT_EQ(Column0(s), (std::vector<std::string>{"", "10", "9", "B", "b", "가", "나"}));
  s.SortByText(0, true);
  EXPECT_EQ(Column0(s), (std::vector<std::string>{"나", "가", "b", "B", "9", "10", ""}));
}

TEST(ReportStoreTest, SortIsStable) {
  ReportStore s = Rows({"x", "y", "x", "y"});
  s.SortByText(0, true);
  std::vector<std::intptr_t> data;
  for (int r = 0; r < s.RowCount(); ++r) data.push_back(s.Data(r));
  EXPECT_EQ(data, (std::vector<std::intptr_t>{1, 3, 0, 2}));
}

TEST(ReportStoreTest, CellsBeyondAndBetween) {
  ReportStore s;
  for (int c = 0; c < 5; ++c) s.InsertColumn(c, {"C" + std::to_string(c), 10, Align::Left});
  int r = s.InsertRow(0, "first");
  EXPECT_EQ(s.Text(r, 3), "");
  EXPECT_TRUE(s.SetText(r, 3, "fourth"));
  EXPECT_EQ(s.Text(r, 1), "");
  EXPECT_EQ(s.Text(r, 3), "fourth");
  EXPECT_TRUE(s.SetText(r, 1, "second"));
  EXPECT_TRUE(s.SetText(r, 3, ""));
  EXPECT_EQ(s.Text(r, 0), "first");
  EXPECT_EQ(s.Text(r, 1), "second");
  EXPECT_EQ(s.Text(r, 3), "");
  EXPECT_EQ(s.Text(r, -1), "");
  EXPECT_EQ(s.Text(5, 0), "");
  EXPECT_FALSE(s.SetText(5, 0, "x"));
  // Text stops at a NUL, as a C string would.
  EXPECT_TRUE(s.SetText(r, 2, std::string_view("ab\0cd", 5)));
  EXPECT_EQ(s.Text(r, 2), "ab");
  EXPECT_EQ(s.Text(r, 1), "second");
}

TEST(ReportStoreTest, ColumnsShiftCells) {
  ReportStore s = Rows({"a"});
  s.InsertColumn(0, {"new", 10, Align::Right});
  EXPECT_EQ(s.Text(0, 0), "");
  EXPECT_EQ(s.Text(0, 1), "a");
  EXPECT_EQ(s.Text(0, 2), "ba");
  EXPECT_EQ(s.Column(0).header, "new");
  EXPECT_TRUE(s.DeleteColumn(1));
  EXPECT_EQ(s.Text(0, 1), "ba");
  EXPECT_EQ(s.ColumnCount(), 2);
  EXPECT_FALSE(s.DeleteColumn(2));
  EXPECT_TRUE(s.SetColumnWidth(1, 0));  // hidden column keeps its cells
  EXPECT_EQ(s.Column(1).width, 0);
  EXPECT_EQ(s.Text(0, 1), "ba");
}

TEST(ReportStoreTest, RewritesCompactWithoutLosingText) {
  ReportStore s;
  for (int c = 0; c < 15; ++c) s.InsertColumn(c, {"c", 10, Align::Left});
  const int rows = 2000;
  for (int r = 0; r < rows; ++r) {
    s.InsertRow(r, std::to_string(r));
    for (int c = 1; c < 15; ++c) s.SetText(r, c, "cell " + std::to_string(r * 100 + c));
  }
  // Rewriting every cell many times leaves garbage that must be compacted.
  for (int round = 0; round < 20; ++round) {
    for (int r = 0; r < rows; ++r) s.SetText(r, 7, std::string(40, static_cast<char>('a' + round)) + std::to_string(r));
  }
  EXPECT_LE(s.GarbageBytes(), s.MemoryUsed());
  for (int r = 0; r < rows; r += 97) {
    EXPECT_EQ(s.Text(r, 0), std::to_string(r));
    EXPECT_EQ(s.Text(r, 14), "cell " + std::to_string(r * 100 + 14));
    EXPECT_EQ(s.Text(r, 7), std::string(40, 't') + std::to_string(r));
  }
}

TEST(ReportStoreTest, RowLargerThanAChunk) {
  ReportStore s = Rows({"a", "b"});
  std::string big(ReportStore::kChunkSize + 10, 'x');
  EXPECT_TRUE(s.SetText(0, 1, big));
  s.InsertRow(2, "c");
  EXPECT_EQ(s.Text(0, 1).size(), big.size());
  EXPECT_EQ(s.Text(1, 1), "bb");
  EXPECT_EQ(s.Text(2, 0), "c");
}

TEST(ReportStoreTest, FillingARowCellByCellLeavesNoGarbage) {
  ReportStore s;
  for (int c = 0; c < 15; ++c) s.InsertColumn(c, {"c", 10, Align::Left});
  for (int r = 0; r < 1000; ++r) {
    s.InsertRow(r, std::to_string(r));
    for (int c = 1; c < 15; c += (c == 3 ? 2 : 1)) s.SetText(r, c, "v" + std::to_string(c));  // 4 stays empty
  }
  EXPECT_EQ(s.GarbageBytes(), 0u);
  int whole = s.InsertRow(s.RowCount(), std::vector<std::string_view>{"a", "", "c"});
  EXPECT_EQ(s.GarbageBytes(), 0u);
  for (int r : {0, 500, 999}) {
    EXPECT_EQ(s.Text(r, 0), std::to_string(r));
    EXPECT_EQ(s.Text(r, 3), "v3");
    EXPECT_EQ(s.Text(r, 4), "");
    EXPECT_EQ(s.Text(r, 5), "v5");
    EXPECT_EQ(s.Text(r, 14), "v14");
  }
  EXPECT_EQ(s.Text(whole, 2), "c");
  // A row that is not the last one written is rewritten as a whole.
  s.SetText(0, 14, "changed");
  EXPECT_GT(s.GarbageBytes(), 0u);
  EXPECT_EQ(s.Text(0, 14), "changed");
  EXPECT_EQ(s.Text(0, 13), "v13");
}

TEST(ReportStoreTest, NextSelectedWalksInOrder) {
  ReportStore s = Rows({"a", "b", "c", "d"});
  s.SetSelected(3, true);
  s.SetSelected(1, true);
  EXPECT_EQ(s.NextSelected(-1), 1);
  EXPECT_EQ(s.NextSelected(1), 3);
  EXPECT_EQ(s.NextSelected(3), -1);
  EXPECT_EQ(s.FindData(2), 2);
  EXPECT_EQ(s.FindData(9), -1);
}

}  // namespace
}  // namespace ui
