// Test fixture of the frame's tests: a real database service on a
// temporary database, the scripted test host, a session environment and an
// application object whose configuration and profile live in a temporary
// folder.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "client/app/tellomar_app.h"
#include "client/app/tellomar_env.h"
#include "client/app/testing/live_service.h"
#include "client/dispatch/test_service.h"
#include "ui/testhost/test_host.h"

class FrameFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TELLOMAR_RPC_CONNECT_TIMEOUT_MS", "3000", 1);
    ASSERT_EQ(service_.error(), "");
    static std::atomic<int> serial{0};
    dir_ = std::filesystem::temp_directory_path() /
           ("tellomar_frame_test." + std::to_string(getpid()) + "." + std::to_string(serial++));
    std::filesystem::create_directories(dir_ / "Env");
    env_.SetApp(&app_);
    env_.m_strIniPath = (dir_ / "Env/Tellomar.INI").string();
    env_.m_strZevrinIniPath = (dir_ / "Env/Zevrin.INI").string();
    options_.profile_file = (dir_ / "profile.ini").string();
    options_.db_port = service_.port();
    WriteIni("localhost");
  }
  void TearDown() override {
    if (env_.m_hRDB) env_.RDBServerClose();
    CTellomarEnv::SetRecordHandler({});
    std::filesystem::remove_all(dir_);
  }
  void WriteIni(const std::string& address) {
    std::ofstream(env_.m_strIniPath) << "[Tellomar]\r\nSERVER_IP_ADDR=" << address << "\r\n";
  }
  std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Start-up without a frame: configuration, binding.
  void StartUp(const std::string& command_line = "") {
    options_.command_line = command_line;
    ASSERT_TRUE(the_app_.InitInstance(options_));
  }
  void Exec(const std::string& sql) { ASSERT_EQ(env_.ExecuteSQL(sql, true), 1) << sql; }
  void AddUser(const std::string& id, const std::string& password, long long remain = 5000000) {
    Exec("insert into USER_INFO (USER_ID, USER_NM, PASSWORD, REMAIN_PAY) values ('" + id + "', '고객', '" +
         password + "', " + std::to_string(remain) + ")");
  }
  void AddAgent(const std::string& user, const std::string& agent, const std::string& password) {
    Exec("insert into USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD) values ('" + user + "', '" + agent + "', '" +
         password + "')");
  }
  void AddService(int id, const std::string& user, int type) {
    Exec("insert into SERVICE_INFO (SVC_ID, USER_ID, SVC_NM, SVC_TYPE) values (" + std::to_string(id) + ", '" +
         user + "', '서비스', " + std::to_string(type) + ")");
  }
  void AddIpt() { Exec("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('USE_IPT', '0', '일반')"); }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> out;
    for (const auto& b : host_.MessageBoxes()) out.push_back(b.text);
    return out;
  }

  LiveService service_;
  std::filesystem::path dir_;
  ui::TestHost host_;
  ui::App app_{host_};
  CTellomarEnv env_;
  CTellomarApp the_app_{app_, env_};
  CTellomarApp::Options options_;
};

// The same session against the reference service with its stored
// procedures and its customer u1, logged in as u1 (the screens that call
// procedures).
class ProcedureFrameFixture : public FrameFixture {
 protected:
  void SetUp() override {
    FrameFixture::SetUp();
    ASSERT_EQ(service_with_procedures_.error(), "");
    ASSERT_TRUE(service_with_procedures_.Start());
    options_.db_port = service_with_procedures_.port();
    StartUp();
    env_.m_strUserID = "u1";
  }
  TestService service_with_procedures_;
};
