// The Tellomar program run as a user runs it: in a working directory of its
// own, with or without its configuration file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "client/app/testing/live_service.h"

namespace {

struct RunResult {
  int exit_code = -1;
  std::string out, err;
};

// Runs the program in dir with the arguments and extra environment entries.
RunResult RunProgram(const std::filesystem::path& dir, const std::vector<std::string>& args,
               const std::vector<std::string>& env) {
  const std::string out_file = (dir / "stdout.txt").string(), err_file = (dir / "stderr.txt").string();
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    if (!freopen(out_file.c_str(), "w", stdout) || !freopen(err_file.c_str(), "w", stderr)) _exit(127);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> argv{const_cast<char*>(TELLOMAR_PROGRAM)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(TELLOMAR_PROGRAM, argv.data());
    _exit(127);
  }
  RunResult r;
  int status = 0;
  waitpid(pid, &status, 0);
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  auto slurp = [](const std::string& f) {
    std::ifstream in(f, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  r.out = slurp(out_file);
  r.err = slurp(err_file);
  return r;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("tellomar_program_test." + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void WriteIni(const std::string& text) {
    std::filesystem::create_directories(dir_ / "Env");
    std::ofstream(dir_ / "Env/Tellomar.INI", std::ios::binary) << text;
  }
  std::filesystem::path dir_;
  // Nobody is at the screen in these runs; the home folder keeps the
  // profile inside the test's folder.
  std::vector<std::string> Env(const std::string& port = {}) const {
    std::vector<std::string> e{"QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + (dir_ / "config").string(),
                               "TELLOMAR_RPC_CONNECT_TIMEOUT_MS=3000"};
    if (!port.empty()) e.push_back("TELLOMAR_DB_PORT=" + port);
    return e;
  }
};

TEST_F(ProgramTest, WithoutConfigurationItReportsAndEndsWithCodeOne) {
  for (const char* ini : {"", "[Tellomar]\r\nSERVER_IP_ADDR=\r\n"}) {
    SCOPED_TRACE(ini);
    if (*ini) WriteIni(ini);
    RunResult r = RunProgram(dir_, {"--startup-only"}, Env());
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("에러: 서버 IP 주소 설정 정보를 읽을수 없습니다.\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("에러: 환경 정보를 읽을수 없습니다.\r\n프로그램을 종료 합니다.\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("[Tellomar]started"), std::string::npos);
  }
}

TEST_F(ProgramTest, StartsUpAgainstTheServiceAndReportsStarted) {
  LiveService service;
  ASSERT_EQ(service.error(), "");
  WriteIni("[Tellomar]\r\nSERVER_IP_ADDR=192.0.2.1\r\n");
  // The command-line address replaces the configured one.
  RunResult r = RunProgram(dir_, {"--startup-only", "127.0.0.1", "user1", "pw"}, Env(service.port()));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("[Tellomar]SERVER_IP(192.0.2.1)\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("[Tellomar]SERVER_PORT(8907)\n"), std::string::npos);
  EXPECT_NE(r.err.find("[Tellomar]DATABASE_NAME(NEW_ORV)\n"), std::string::npos);
  EXPECT_NE(r.err.find("[Tellomar]CTellomarEnv::RDBServerOpen IP(127.0.0.1) PORT(" + service.port() + ")\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("[Tellomar]started\n"), std::string::npos);
}

TEST_F(ProgramTest, BadPortOverrideIsRefused) {
  WriteIni("[Tellomar]\r\nSERVER_IP_ADDR=127.0.0.1\r\n");
  RunResult r = RunProgram(dir_, {"--startup-only"}, Env("80a"));
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("TELLOMAR_DB_PORT"), std::string::npos) << r.err;
}

}  // namespace
