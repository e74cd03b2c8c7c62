#include "workbook/xls_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "workbook/cfb.h"

namespace workbook {
namespace {

// Little builders for BIFF8 records.
std::string U16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
std::string U32(std::uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }
std::string F64(double d) {
  std::string s(8, '\0');
  std::memcpy(s.data(), &d, 8);
  return s;
}
std::string Rec(unsigned type, const std::string& data) { return U16(type) + U16(static_cast<unsigned>(data.size())) + data; }
std::string Bof(unsigned kind, unsigned version = 0x0600) {
  return Rec(0x0809, U16(version) + U16(kind) + std::string(12, '\0'));
}
std::string Eof() { return Rec(0x000A, ""); }
// String with a 2-byte count, one byte per character.
std::string Narrow(const std::string& latin1) { return U16(static_cast<unsigned>(latin1.size())) + '\0' + latin1; }
std::string Cell(unsigned row, unsigned col, unsigned xf) { return U16(row) + U16(col) + U16(xf); }

// A workbook stream with one sheet "Data" whose records the test gives, and
// the given SST records (already split).
std::string Stream(const std::string& sst, const std::string& sheet_records, const std::string& extra_globals = "") {
  std::string xfs;
  for (int i = 0; i < 16; ++i) xfs += Rec(0x00E0, U16(0) + U16(0) + std::string(16, '\0'));
  xfs += Rec(0x00E0, U16(0) + U16(14) + std::string(16, '\0'));  // xf 16: a built-in date format
  xfs += Rec(0x041E, U16(170) + Narrow("yyyy-mm-dd hh:mm"));
  xfs += Rec(0x00E0, U16(0) + U16(170) + std::string(16, '\0'));  // xf 17: a custom date format
  auto globals = [&](std::uint32_t offset) {
    return Bof(0x0005) + extra_globals + xfs + Rec(0x0085, U32(offset) + '\0' + '\0' + '\x04' + '\0' + "Data") +
           sst + Eof();
  };
  std::string g = globals(0);
  return globals(static_cast<std::uint32_t>(g.size())) + Bof(0x0010) + sheet_records + Eof();
}

std::string Dump(Workbook& wb, std::size_t sheet) {
  std::string out;
  auto cursor = wb.OpenSheet(sheet);
  Row row;
  while (cursor->Next(row)) {
    out += std::to_string(row.index) + ":";
    for (std::size_t i = 0; i < row.cells.size(); ++i)
      out += (i ? "|" : "") + std::to_string(row.cells[i].col) + "=" + row.cells[i].text;
    out += "\n";
  }
  return out;
}

TEST(XlsReader, RecordsFormulasAndContinuedStrings) {
  // SST: "abc", then a string of 6 characters split after 2 narrow ones,
  // resuming in the CONTINUE record as UTF-16 ("가나다" after "xy"), then a
  // rich string with a run and a phonetic block.
  std::string sst1 = U32(3) + U32(3) + Narrow("abc") + U16(5) + '\0' + "xy";
  std::string sst2 = std::string("\x01", 1) + U16(0xAC00) + U16(0xB098) + U16(0xB2E4);
  sst2 += U16(2) + '\x0C' + U16(1) + U32(3) + "ok" + U32(0) + "ph!";
  std::string sst = Rec(0x00FC, sst1) + Rec(0x003C, sst2);

  std::string cells;
  cells += Rec(0x00FD, Cell(0, 0, 15) + U32(0));
  cells += Rec(0x00FD, Cell(0, 1, 15) + U32(1));
  cells += Rec(0x00FD, Cell(0, 2, 15) + U32(2));
  cells += Rec(0x0203, Cell(1, 0, 15) + F64(1012345678));
  cells += Rec(0x027E, Cell(1, 1, 15) + U32((12345u << 2) | 2u));        // RK integer
  cells += Rec(0x027E, Cell(1, 2, 15) + U32((12345u << 2) | 3u));        // RK integer / 100
  cells += Rec(0x0203, Cell(1, 3, 16) + F64(45306));                      // date
  cells += Rec(0x0203, Cell(1, 4, 17) + F64(45306.5));                    // date and time
  cells += Rec(0x00BD, U16(2) + U16(1) + U16(15) + U32((7u << 2) | 2u) + U16(15) + U32((8u << 2) | 2u) + U16(2));
  cells += Rec(0x0204, Cell(3, 0, 15) + Narrow("caf\xE9"));               // Latin-1 é
  cells += Rec(0x0205, Cell(3, 1, 15) + '\x01' + '\0');
  cells += Rec(0x0205, Cell(3, 2, 15) + '\x2A' + '\x01');
  // Formulas: text result in the following STRING record, boolean, error, number, empty text.
  std::string tail = U16(0) + U32(0) + U16(0);
  cells += Rec(0x0006, Cell(4, 0, 15) + std::string(6, '\0') + U16(0xFFFF) + tail);
  cells += Rec(0x04BC, std::string(10, '\0'));  // a shared formula record between them
  cells += Rec(0x0207, U16(3) + '\x01' + U16('0') + U16('1') + U16('0'));
  cells += Rec(0x0006, Cell(4, 1, 15) + '\x01' + '\0' + '\x01' + std::string(3, '\0') + U16(0xFFFF) + tail);
  cells += Rec(0x0006, Cell(4, 2, 15) + '\x02' + '\0' + '\x07' + std::string(3, '\0') + U16(0xFFFF) + tail);
  cells += Rec(0x0006, Cell(4, 3, 15) + F64(10123456781.0) + tail);
  cells += Rec(0x0006, Cell(4, 4, 15) + '\x03' + std::string(5, '\0') + U16(0xFFFF) + tail);
  // An embedded chart substream is skipped whole.
  cells += Bof(0x0020) + Rec(0x0203, Cell(9, 9, 15) + F64(1)) + Eof();
  cells += Rec(0x0201, Cell(6, 0, 15));  // blank

  auto wb = OpenXlsMemory(WriteCfb({{"Workbook", Stream(sst, cells)}}));
  ASSERT_EQ(wb->SheetNames(), std::vector<std::string>{"Data"});
  EXPECT_EQ(Dump(*wb, 0),
            "0:0=abc|1=xy가나다|2=ok\n"
            "1:0=1012345678|1=12345|2=123.45|3=2024-01-15|4=2024-01-15 12:00:00\n"
            "2:1=7|2=8\n"
            "3:0=café|1=TRUE|2=#N/A\n"
            "4:0=010|1=TRUE|2=#DIV/0!|3=10123456781\n");
}

TEST(XlsReader, SheetTextLimit) {
  // One long shared string referenced by many cells.
  std::string sst = Rec(0x00FC, U32(1) + U32(1) + Narrow(std::string(1000, 'x')));
  std::string cells;
  for (unsigned r = 0; r < 100; ++r) cells += Rec(0x00FD, Cell(r, 0, 15) + U32(0));
  Limits limits;
  limits.max_sheet_bytes = 50000;
  auto wb = OpenXlsMemory(WriteCfb({{"Workbook", Stream(sst, cells)}}), limits);
  EXPECT_THROW(wb->OpenSheet(0), WorkbookError);
}

TEST(XlsReader, BadWorkbooksGiveErrors) {
  std::string good_stream = Stream(Rec(0x00FC, U32(0) + U32(0)), Rec(0x00FD, Cell(0, 0, 15) + U32(0)));
  struct Case {
    const char* name;
    std::string file;
    const char* message;
  } cases[] = {
      {"sst index", WriteCfb({{"Workbook", good_stream}}), "out of range"},
      {"biff5", WriteCfb({{"Book", Bof(0x0005, 0x0500) + Eof()}}), "BIFF5"},
      {"no stream", WriteCfb({{"Other", "x"}}), "no Workbook stream"},
      {"old bof", WriteCfb({{"Workbook", Bof(0x0005, 0x0500) + Eof()}}), "not a BIFF8"},
      {"encrypted", WriteCfb({{"Workbook", Bof(0x0005) + Rec(0x002F, std::string(54, '\0')) + Eof()}}), "encrypted"},
      {"cut record", WriteCfb({{"Workbook", Bof(0x0005) + Rec(0x0085, "abcdefgh").substr(0, 8)}}), "past the end"},
      {"no eof", WriteCfb({{"Workbook", Bof(0x0005)}}), "without an EOF"},
      {"short record", WriteCfb({{"Workbook", Stream("", Rec(0x0203, "abc"))}}), "too short"},
      {"sheet cut", WriteCfb({{"Workbook", Stream("", "").substr(0, Stream("", "").size() - 4)}}), "without an EOF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      auto wb = OpenXlsMemory(c.file);
      Dump(*wb, 0);
      ADD_FAILURE() << "no error";
    } catch (const WorkbookError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(XlsReader, LibreOfficeFixture) {
  auto wb = OpenXlsMemory(ReadFile(std::string(WORKBOOK_TESTDATA) + "/targets.xls"));
  EXPECT_EQ(wb->SheetNames(), (std::vector<std::string>{"Targets", "Empty", "My Sheet"}));
  // LibreOffice stores the cached result of a text formula (D2) in .xls as 0;
  // numeric and boolean formula results come through.
  EXPECT_EQ(Dump(*wb, 0),
            "0:0=전화번호|1=이름|2=메모|3=계산\n"
            "1:0=1012345678|1=홍길동|2=it's VIP|3=0\n"
            "2:0=01098765432|1=김철수|2=0.25|3=10123456781\n"
            "3:0=821055556666|2=2024-01-15|3=TRUE\n");
  EXPECT_EQ(Dump(*wb, 1), "");
  EXPECT_EQ(Dump(*wb, 2), "1:1=a|2=-1.5\n3:1=c\n");
}

}  // namespace
}  // namespace workbook
