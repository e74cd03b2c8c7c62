#include "client/app/debug_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class DebugLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tellomar_log_XXXXXX";
    dir_ = ::mkdtemp(tmpl);
  }
  void TearDown() override {
    SetDebugLog(nullptr);
    std::filesystem::remove_all(dir_);
  }
  std::string dir_;
};

TEST_F(DebugLogTest, WritesPrefixedLinesToTheInstalledFile) {
  CDebugLog log;
  ASSERT_TRUE(log.OpenFile(dir_ + "/t.log"));
  SetDebugLog(&log);
  DebugLog("SERVER_IP(%s)", "10.0.0.1");
  DebugLog("line with end\n");
  DebugLog("%s", "");
  EXPECT_EQ(ReadAll(dir_ + "/t.log"), "[Tellomar]SERVER_IP(10.0.0.1)\n[Tellomar]line with end\n[Tellomar]\n");
  EXPECT_FALSE(log.OpenFile(dir_ + "/missing/t.log"));
}

TEST_F(DebugLogTest, CutsLongTextsAtAWholeCharacter) {
  CDebugLog log;
  ASSERT_TRUE(log.OpenFile(dir_ + "/t.log"));
  SetDebugLog(&log);
  std::string text = "a";
  for (int i = 0; i < 2000; ++i) text += "가";  // 1 + 6000 bytes
  DebugLog("%s", text.c_str());
  std::string line = ReadAll(dir_ + "/t.log");
  std::string body = line.substr(10, line.size() - 11);
  EXPECT_EQ(body, text.substr(0, 1 + 1364 * 3));  // 4093 bytes: the last whole syllable within 4095
}

TEST_F(DebugLogTest, LinesFromManyThreadsStayWhole) {
  CDebugLog log;
  ASSERT_TRUE(log.OpenFile(dir_ + "/t.log"));
  SetDebugLog(&log);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) DebugLog("thread %d line %d %s", t, i, std::string(100, 'x').c_str());
    });
  }
  for (auto& th : threads) th.join();
  std::istringstream in(ReadAll(dir_ + "/t.log"));
  std::string line;
  int lines = 0;
  while (std::getline(in, line)) {
    ++lines;
    EXPECT_EQ(line.rfind("[Tellomar]thread ", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - 100), std::string(100, 'x'));
  }
  EXPECT_EQ(lines, 800);
}

}  // namespace
