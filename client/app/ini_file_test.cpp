#include "client/app/ini_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tellomar_inifile_XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    fs::create_directory(dir_ + "/Env");
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string dir_;
};

TEST_F(IniFileTest, ReadIsTrueOnlyForNonEmptyValues) {
  std::ofstream(dir_ + "/Env/Tellomar.INI", std::ios::binary)
      << "[Tellomar]\r\nSERVER_IP_ADDR=\r\nMINI_PRINT_DRIVER=\xB6\xF3\xBA\xA7 \xC7\xC1\xB8\xB0\xC5\xCD\r\n";
  CIniFile ini(dir_ + "/Env/Tellomar.INI", kTellomarIniSection);
  std::string value = "stale";
  EXPECT_FALSE(ini.Read(kServerIpAddrKey, value));  // present but empty behaves as missing
  EXPECT_EQ(value, "");
  EXPECT_TRUE(ini.Read(kMiniPrintDriverKey, value));
  EXPECT_EQ(value, "라벨 프린터");
  value = "stale";
  EXPECT_FALSE(ini.Read("NOT_THERE", value));
  EXPECT_EQ(value, "");
}

TEST_F(IniFileTest, WriteThenReadAndBackslashPaths) {
  CIniFile ini(dir_ + "\\Env\\Zevrin.INI", kVersionCheckSection);
  ASSERT_TRUE(ini.Write(kVcServerIpAddrKey, "192.168.0.10"));
  std::string value;
  EXPECT_TRUE(CIniFile(dir_ + "/Env/Zevrin.INI", "version_check_connect").Read("vc_server_ip_addr", value));
  EXPECT_EQ(value, "192.168.0.10");
  std::ifstream in(dir_ + "/Env/Zevrin.INI", std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), "[VERSION_CHECK_CONNECT]\r\nVC_SERVER_IP_ADDR=192.168.0.10\r\n");
}

TEST_F(IniFileTest, FailuresAreReported) {
  CIniFile missing_folder(dir_ + "/NoEnv/Tellomar.INI", kTellomarIniSection);
  EXPECT_FALSE(missing_folder.Write(kServerIpAddrKey, "1.2.3.4"));
  EXPECT_FALSE(missing_folder.GetLastError().empty());
  CIniFile long_section(dir_ + "/Env/Tellomar.INI", std::string(260, 's'));
  std::string value;
  EXPECT_FALSE(long_section.Write("K", "v"));
  EXPECT_FALSE(long_section.Read("K", value));
  EXPECT_FALSE(fs::exists(dir_ + "/Env/Tellomar.INI"));
}

}  // namespace
