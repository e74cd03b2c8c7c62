#include "platform/shell.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

// A stand-in opener that records its arguments, one per line, then renames
// the record into place so the test sees it whole.
class ShellOpenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tellomar_shell_XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    opener_ = dir_ + "/opener";
    std::ofstream(opener_) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" << dir_
                           << "/args.tmp\"\nmv \"" << dir_ << "/args.tmp\" \"" << dir_ << "/args\"\n";
    ::chmod(opener_.c_str(), 0755);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The opener runs detached; wait for its record (the test binary's time
  // limit ends a hang).
  std::string Recorded() {
    while (!fs::exists(dir_ + "/args")) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::ifstream in(dir_ + "/args");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::string dir_, opener_;
};

TEST_F(ShellOpenTest, PassesTargetAsOneArgumentWithoutShell) {
  std::string error;
  ASSERT_TRUE(platform::ShellOpen("http://example.com/a b?x=1;touch /tmp/x&y='$(z)'", &error, opener_)) << error;
  EXPECT_EQ(Recorded(), "http://example.com/a b?x=1;touch /tmp/x&y='$(z)'\n");
}

TEST_F(ShellOpenTest, DashTargetIsNotAnOption) {
  ASSERT_TRUE(platform::ShellOpen("-rf.xls", nullptr, opener_));
  EXPECT_EQ(Recorded(), "./-rf.xls\n");
}

TEST_F(ShellOpenTest, MissingOpenerIsReported) {
  std::string error;
  EXPECT_FALSE(platform::ShellOpen("x", &error, dir_ + "/none"));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(platform::ShellOpen("x", &error, "tellomar-no-such-opener"));
  EXPECT_FALSE(platform::ShellOpen("", &error, opener_));
  // Present but not an executable program.
  std::ofstream(dir_ + "/notexec") << "#!/bin/sh\n";
  EXPECT_FALSE(platform::ShellOpen("x", &error, dir_ + "/notexec"));
}

}  // namespace
