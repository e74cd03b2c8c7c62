#include "platform/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tellomar_files_XXXXXX";
    dir_ = ::mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Touch(const std::string& name) { std::ofstream(dir_ + "/" + name) << "x"; }
  std::string dir_;
};

TEST(Wildcard, MatchesLikeTheWindowsFileSearch) {
  struct {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*", "anything", true},
      {"*.xls", "결과데이터조회_20240101.xls", true},
      {"*.xls", "a.xlsx", false},
      {"*.xls*", "a.xlsx", true},
      {"a?c", "abc", true},
      {"a?c", "ac", false},
      {"a?c", "a가c", true},  // ? is one character, not one byte
      {"??", "가", false},
      {"*.*", "noext", true},
      {"data.*", "data", true},
      {"data.*", "data.csv", true},
      {"data.*", "database", false},
      {"*a*b*", "xxaxxbxx", true},
      {"*a*b", "xxaxxbxxc", false},
      {"ABC", "abc", false},
      {"", "", true},
      {"", "a", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::MatchWildcard(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
  }
}

TEST_F(FilesTest, FileExistsWithAndWithoutWildcards) {
  Touch("통보리스트_20240101-20240131.txt");
  fs::create_directory(dir_ + "/sub");
  fs::create_directory(dir_ + "/empty");
  EXPECT_TRUE(platform::FileExists(dir_ + "/통보리스트_20240101-20240131.txt"));
  EXPECT_TRUE(platform::FileExists(dir_ + "\\통보리스트_*.txt"));
  EXPECT_TRUE(platform::FileExists(dir_ + "/*2024?\?\?\?-*"));
  EXPECT_TRUE(platform::FileExists(dir_ + "/sub"));
  EXPECT_TRUE(platform::FileExists(dir_ + "/su?"));
  EXPECT_FALSE(platform::FileExists(dir_ + "/*.xls"));
  EXPECT_FALSE(platform::FileExists(dir_ + "/missing.txt"));
  EXPECT_FALSE(platform::FileExists(dir_ + "/empty/*"));  // "." and ".." do not count
  EXPECT_FALSE(platform::FileExists(dir_ + "/s*/x"));     // wildcards only in the last part
  EXPECT_FALSE(platform::FileExists(dir_ + "/nofolder/*"));
  EXPECT_FALSE(platform::FileExists(""));
}

TEST_F(FilesTest, FileTimesRoundTrip) {
  Touch("f.bin");
  std::string path = dir_ + "/f.bin";
  // 2013-03-09 12:56:04.1234567 UTC and a moment before 1970.
  platform::FileTime write = platform::FromTicks(130072509641234567ULL);
  platform::FileTime access = platform::FromTicks(116444736000000000ULL - 10'000'000ULL * 86400 * 365);
  ASSERT_TRUE(platform::SetFileTimes(path, nullptr, &access, &write));
  platform::FileTime c, a, w;
  ASSERT_TRUE(platform::GetFileTimes(path, &c, &a, &w));
  EXPECT_EQ(w, write);
  EXPECT_EQ(a, access);
  EXPECT_NE(platform::ToTicks(c), 0u);
  // A null pointer leaves that time alone.
  platform::FileTime later = platform::FromTicks(130072509650000000ULL);
  ASSERT_TRUE(platform::SetFileTimes(path, &later, nullptr, &later));
  ASSERT_TRUE(platform::GetFileTimes(path, nullptr, &a, &w));
  EXPECT_EQ(a, access);
  EXPECT_EQ(w, later);
  std::error_code ec;
  EXPECT_FALSE(platform::GetFileTimes(dir_ + "/missing", &c, &a, &w, &ec));
  EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
  EXPECT_FALSE(platform::SetFileTimes(dir_ + "/missing", nullptr, &later, &later, &ec));
}

TEST_F(FilesTest, CurrentDirectoryAndNativePaths) {
  std::string saved = platform::CurrentDirectory();
  ASSERT_EQ(::chdir(dir_.c_str()), 0);
  EXPECT_EQ(fs::path(platform::CurrentDirectory()), fs::canonical(dir_));
  ASSERT_EQ(::chdir(saved.c_str()), 0);
  EXPECT_EQ(platform::ToNativePath(".\\Env\\Tellomar.INI"), "./Env/Tellomar.INI");
}

}  // namespace
