#include "platform/profile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tellomar_profile_XXXXXX";
    dir_ = ::mkdtemp(tmpl);
  }
  void TearDown() override {
    ::chmod((dir_ + "/ro").c_str(), 0755);
    fs::remove_all(dir_);
  }
  std::string dir_;
};

TEST_F(ProfileTest, DefaultFileFollowsXdgConfigHome) {
  const char* saved_xdg = std::getenv("XDG_CONFIG_HOME");
  std::string saved = saved_xdg ? saved_xdg : "";
  const char* saved_home_env = std::getenv("HOME");
  std::string saved_home = saved_home_env ? saved_home_env : "";
  ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  EXPECT_EQ(platform::ProfileStore::DefaultFile(platform::kProfileRegistryKey, platform::kProfileProgram),
            dir_ + "/Local AppWizard-Generated Applications/Tellomar.ini");
  ::setenv("XDG_CONFIG_HOME", "relative/not/used", 1);
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(platform::ProfileStore::DefaultFile("K", "P"), "/home/someone/.config/K/P.ini");
  EXPECT_EQ(platform::ProfileStore::DefaultFile("K", "P", "/over"), "/over/K/P.ini");
  if (saved_xdg) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else ::unsetenv("XDG_CONFIG_HOME");
  if (saved_home_env) ::setenv("HOME", saved_home.c_str(), 1); else ::unsetenv("HOME");
}

TEST_F(ProfileTest, ValuesRoundTripExactlyAndFoldersAreCreated) {
  std::string file = platform::ProfileStore::DefaultFile(platform::kProfileRegistryKey, "Tellomar", dir_);
  platform::ProfileStore store(file);
  const char* values[] = {"abc", "", " leading and trailing ", "\"quoted\"", "'x'", "C:\\데이터\\목록", "a=b;c"};
  for (const char* v : values) {
    SCOPED_TRACE(v);
    ASSERT_TRUE(store.WriteProfileString("Tellomar", "RECENT_FOLDER", v)) << store.last_error();
    EXPECT_EQ(store.GetProfileString("Tellomar", "RECENT_FOLDER", "dflt"), v);
    // A second store on the same file sees it: nothing is cached.
    EXPECT_EQ(platform::ProfileStore(file).GetProfileString("tellomar", "recent_folder"), v);
  }
  EXPECT_TRUE(fs::exists(file));
}

TEST_F(ProfileTest, IntegersDefaultsAndSections) {
  platform::ProfileStore store(dir_ + "/p.ini");
  EXPECT_EQ(store.GetProfileInt("Tellomar", "CALLBACK_ALARM_COUNT", 5), 5);
  EXPECT_EQ(store.GetProfileString("Tellomar", "LAST_LOGIN_ID", "none "), "none ");
  ASSERT_TRUE(store.WriteProfileInt("Tellomar", "NOTIFY_REMAIN_CASH", -300));
  ASSERT_TRUE(store.WriteProfileInt("MDIClient", "BkColor", 16777215));
  ASSERT_TRUE(store.WriteProfileString("MDIClient", "FileName", "bg.bmp"));
  EXPECT_EQ(store.GetProfileInt("Tellomar", "NOTIFY_REMAIN_CASH", 0), -300);
  EXPECT_EQ(store.GetProfileInt("MDIClient", "BkColor", 0), 16777215);
  EXPECT_EQ(store.GetProfileInt("Tellomar", "BkColor", 7), 7);
  ASSERT_TRUE(store.DeleteProfileEntry("MDIClient", "FileName"));
  EXPECT_EQ(store.GetProfileString("MDIClient", "FileName", "gone"), "gone");
}

TEST_F(ProfileTest, UnwritableStoreReportsFalseAndKeepsOldValue) {
  platform::ProfileStore store(dir_ + "/ro/p.ini");
  ASSERT_TRUE(store.WriteProfileString("Tellomar", "LAST_LOGIN_ID", "first"));
  EXPECT_FALSE(store.WriteProfileString("Tellomar", "LAST_LOGIN_ID", "line\nbreak"));
  EXPECT_FALSE(store.last_error().empty());
  if (::geteuid() != 0) {
    ::chmod((dir_ + "/ro").c_str(), 0555);
    EXPECT_FALSE(store.WriteProfileString("Tellomar", "LAST_LOGIN_ID", "second"));
    ::chmod((dir_ + "/ro").c_str(), 0755);
  }
  EXPECT_EQ(store.GetProfileString("Tellomar", "LAST_LOGIN_ID"), "first");
  // A store whose folder is a file cannot be created at all.
  std::ofstream(dir_ + "/afile") << "x";
  platform::ProfileStore broken(dir_ + "/afile/sub/p.ini");
  EXPECT_FALSE(broken.WriteProfileInt("Tellomar", "X", 1));
  EXPECT_EQ(broken.GetProfileInt("Tellomar", "X", 3), 3);
}

}  // namespace
