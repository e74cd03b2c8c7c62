#include "workbook/cfb.h"

#include <gtest/gtest.h>

#include <cstring>

namespace workbook {
namespace {

std::string Pattern(std::size_t n, char seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(seed + i * 7 + i / 251);
  return s;
}

std::uint32_t Get32(const std::string& b, std::size_t o) {
  std::uint32_t v;
  std::memcpy(&v, b.data() + o, 4);
  return v;
}
void Set32(std::string& b, std::size_t o, std::uint32_t v) { std::memcpy(b.data() + o, &v, 4); }

TEST(Cfb, RoundTripSmallLargeAndHugeStreams) {
  // Small streams live in the mini stream, large ones in sectors; the 9 MB
  // one needs more than 109 FAT sectors and so a DIFAT sector.
  struct Case {
    std::size_t size;
  } cases[] = {{0}, {1}, {63}, {64}, {4095}, {4096}, {5000}, {9u << 20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    std::string data = Pattern(c.size, 'a');
    std::string small = Pattern(100, 'z');
    std::string file = WriteCfb({{"Workbook", data}, {"Other", small}});
    CfbReader r(file);
    auto got = r.ReadStream("workbook");  // names compare without case
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, data);
    EXPECT_EQ(r.ReadStream("Other").value_or(""), small);
    EXPECT_FALSE(r.ReadStream("Missing"));
    EXPECT_EQ(r.StreamNames(), (std::vector<std::string>{"Workbook", "Other"}));
  }
}

TEST(Cfb, BrokenFilesGiveErrors) {
  std::string file = WriteCfb({{"Workbook", Pattern(20000, 'b')}});
  // The stream occupies sectors 0..39; sector 3's FAT entry points back to 1.
  std::uint32_t first_fat = Get32(file, 76);
  std::size_t fat_off = (first_fat + 1) * 512;
  std::string loop = file;
  Set32(loop, fat_off + 3 * 4, 1);
  std::string outside = file;
  Set32(outside, fat_off + 3 * 4, 0x00FFFFFF);
  std::string early_end = file;
  Set32(early_end, fat_off + 3 * 4, 0xFFFFFFFE);
  std::string bad_version = file;
  bad_version[26] = 7;
  std::string bad_fat_count = file;
  Set32(bad_fat_count, 44, 0x7FFFFFFF);

  struct Case {
    const char* name;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"loop", loop, "loops"},
      {"outside", outside, "outside"},
      {"early end", early_end, "ends before"},
      {"version", bad_version, "version"},
      {"fat count", bad_fat_count, "exceed"},
      {"truncated", file.substr(0, 5000), "beyond the end"},
      {"no signature", std::string(1024, 'x'), "signature"},
      {"short", file.substr(0, 100), "signature"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      CfbReader r(c.bytes);
      r.ReadStream("Workbook");
      ADD_FAILURE() << "no error";
    } catch (const WorkbookError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(Cfb, ChainLengthLimit) {
  std::string file = WriteCfb({{"Workbook", Pattern(20000, 'c')}});
  Limits limits;
  limits.max_chain_sectors = 10;
  CfbReader r(file, limits);
  EXPECT_THROW(r.ReadStream("Workbook"), WorkbookError);
}

}  // namespace
}  // namespace workbook
