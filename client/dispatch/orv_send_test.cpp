#include "client/dispatch/orv_send.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "client/dispatch/test_service.h"

namespace dispatch {
namespace {

std::string RunCommand(const std::string& cmd, int* status) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  char buf[4096];
  std::size_t n;
  while (p && (n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  *status = p ? pclose(p) : -1;
  return out;
}

class OrvSendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(svc_.error().empty() && svc_.Start()) << svc_.error();
    file_ = svc_.dir() + "/list.csv";
    std::ofstream f(file_, std::ios::binary);
    // Code page 949: 홍길동 = C8AB B1E6 B5BF.
    f << "010-1234-5678,\xC8\xAB\xB1\xE6\xB5\xBF,O'K\r\n01012345678,dup\r\n12345\r\n,,,,,,,,\r\n1012345678,zero\r\n";
    for (int i = 0; i < 2000; ++i) f << "0311" << (100000 + i) << ",row" << i << "\r\n";
  }
  std::vector<std::string> Args(bool dry) {
    std::vector<std::string> a = {"-s", "127.0.0.1:" + svc_.port(), "-u", "u1", "-p", "pw", "--service", "7",
                                  "--title", "T1", "--add-zero"};
    if (dry) a.push_back("--dry-run");
    a.push_back(file_);
    return a;
  }
  TestService svc_;
  std::string file_;
};

TEST_F(OrvSendTest, DryRunPrintsTheSixColumnsInUtf8) {
  std::string cmd = ORV_SEND;
  for (const auto& a : Args(true)) cmd += " '" + a + "'";
  int status = 0;
  const std::string out = RunCommand(cmd + " 2>" + svc_.dir() + "/err", &status);
  EXPECT_EQ(status, 0);
  std::istringstream lines(out);
  std::string l1, l2, l3;
  std::getline(lines, l1);
  std::getline(lines, l2);
  std::getline(lines, l3);
  EXPECT_EQ(l1, "1\t010-1234-5678\t홍길동\tO K\t\t");
  EXPECT_EQ(l2, "2\t010-1234-5678\tzero\t\t\t");  // leading zero added, not re-checked for duplicates
  EXPECT_EQ(l3, "3\t031-110-0000\trow0\t\t\t");
  std::ifstream err(svc_.dir() + "/err");
  std::string last, line;
  while (std::getline(err, line)) last = line;
  EXPECT_EQ(last, "read=2004 imported=2002 duplicates=1 ignored=1 sent=0 dropped=0");
  EXPECT_EQ(svc_.Value("select count(*) from REQ_ORV"), "0");
}

// A stream that sets the stop flag at the first progress line, that is,
// after the service executed the first batch.
class StopAtProgress : public std::stringbuf {
 public:
  explicit StopAtProgress(std::atomic<bool>& stop) : stop_(stop) {}
  int sync() override {
    if (str().find("건중") != std::string::npos) stop_ = true;
    return 0;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::streamsize r = std::stringbuf::xsputn(s, n);
    sync();
    return r;
  }

 private:
  std::atomic<bool>& stop_;
};

TEST_F(OrvSendTest, InterruptedRunResumesWithoutRegisteringTwice) {
  std::atomic<bool> stop{false};
  StopAtProgress buf(stop);
  std::ostream err(&buf);
  std::ostringstream out;
  EXPECT_EQ(RunOrvSend(Args(false), out, err, &stop), kExitInterrupted) << buf.str();
  const long first = std::stol(svc_.Value("select count(*) from REQ_ORV"));
  EXPECT_GT(first, 0);
  EXPECT_LT(first, 2001);
  EXPECT_TRUE(std::filesystem::exists(file_ + ".orv-send"));

  // The same arguments a second later: the first run's rows are sent again
  // and skipped by the service.
  sleep(1);
  std::ostringstream out2, err2;
  EXPECT_EQ(RunOrvSend(Args(false), out2, err2, nullptr), kExitOk) << err2.str();
  EXPECT_EQ(out2.str(), "read=2004 imported=2002 duplicates=1 ignored=1 sent=2001 dropped=1\n");
  // The number that the leading-zero fix doubled is registered once by the
  // service and counted as dropped.
  EXPECT_EQ(svc_.Value("select count(*) from REQ_ORV"), "2001");
  EXPECT_EQ(svc_.Value("select count(distinct REG_DATE || REG_TIME) from REQ_ORV"), "1");
  EXPECT_EQ(svc_.Value("select count(*) from (select RECV_PHONE from REQ_ORV group by RECV_PHONE having count(*) > 1)"),
            "0");
  EXPECT_FALSE(std::filesystem::exists(file_ + ".orv-send"));
}

TEST_F(OrvSendTest, BadArgumentsAndLoginFailuresExitNonZero) {
  std::ostringstream out, err;
  EXPECT_EQ(RunOrvSend({"-u", "u1"}, out, err), kExitUsage);
  std::vector<std::string> a = Args(false);
  a[5] = "wrong";
  EXPECT_EQ(RunOrvSend(a, out, err), kExitLogin);
  a = Args(false);
  a[7] = "99";
  EXPECT_EQ(RunOrvSend(a, out, err), kExitLogin);
  EXPECT_EQ(svc_.Value("select count(*) from REQ_ORV"), "0");
  EXPECT_EQ(ColumnName("C"), "F3");
  EXPECT_EQ(ColumnName("12"), "F12");
  EXPECT_EQ(SheetName("Sheet1"), "Sheet1$");
}

}  // namespace
}  // namespace dispatch
