#include "platform/process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tellomar_proc_XXXXXX";
    dir_ = ::mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string dir_;
};

TEST_F(ProcessTest, StartFindAndTerminate) {
  std::string error;
  pid_t pid = platform::StartProgram("sleep", {"30"}, "", &error);
  ASSERT_GT(pid, 0) << error;
  auto list = platform::ListProcesses();
  auto it = std::find_if(list.begin(), list.end(), [&](const platform::ProcessInfo& p) { return p.pid == pid; });
  ASSERT_NE(it, list.end());
  EXPECT_EQ(it->exe_name, "sleep");
  EXPECT_TRUE(platform::TerminateProcess(pid));
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFSIGNALED(status));
  std::error_code ec;
  EXPECT_FALSE(platform::TerminateProcess(pid, &ec));
  EXPECT_EQ(ec, std::errc::no_such_process);
}

TEST_F(ProcessTest, RunsInTheWorkingFolderWithArgumentsAsGiven) {
  std::ofstream(dir_ + "/prog") << "#!/bin/sh\npwd > out\nprintf '%s|' \"$@\" >> out\n";
  fs::permissions(dir_ + "/prog", fs::perms::owner_all);
  pid_t pid = platform::StartProgram("./prog", {"a b", "$(x);y"}, dir_);
  ASSERT_GT(pid, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  std::ifstream in(dir_ + "/out");
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), fs::canonical(dir_).string() + "\na b|$(x);y|");
}

TEST_F(ProcessTest, FailuresToStartAreReported) {
  std::string error;
  EXPECT_EQ(platform::StartProgram("tellomar-no-such-program", {}, "", &error), -1);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(platform::StartProgram("/bin/true", {}, dir_ + "/missing", &error), -1);
  EXPECT_NE(error.find("missing"), std::string::npos);
}

}  // namespace
