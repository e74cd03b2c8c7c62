#include "client/app/tellomar_env.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "client/app/testing/live_service.h"
#include "platform/codepage.h"
#include "platform/ini.h"
#include "ui/testhost/test_host.h"

namespace {

using ui::MB_ICONERROR;
using ui::MB_ICONINFORMATION;
using ui::MB_OK;

const std::string kTail = "\r\n 일시적인 인터넷 장애일수 있으니 잠시 후 다시 시도하여 주십시오";

// Message boxes shown so far, as (text, caption, type).
struct Shown {
  std::string text, caption;
  unsigned type;
  friend bool operator==(const Shown&, const Shown&) = default;
};
std::ostream& operator<<(std::ostream& o, const Shown& s) {
  return o << "{" << s.text << " | " << s.caption << " | " << s.type << "}";
}

class EnvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TELLOMAR_RPC_CONNECT_TIMEOUT_MS", "3000", 1);
    setenv("TELLOMAR_RPC_TIMEOUT_MS", "10000", 1);
    env_.SetApp(&app_);
    env_.m_strDBName = "NEW_ORV";
    env_.m_strServerIP = "127.0.0.1";
  }
  void TearDown() override {
    if (env_.m_hRDB) env_.RDBServerClose();
    CTellomarEnv::SetRecordHandler({});
  }
  void Bind(const std::string& port) {
    env_.m_strServerPort = port;
    ASSERT_EQ(env_.RDBServerOpen(), 1);
  }
  std::vector<Shown> Boxes() const {
    std::vector<Shown> out;
    for (const auto& m : host_.MessageBoxes()) out.push_back({m.text, m.caption, m.type});
    return out;
  }
  static Shown Error(std::string text) { return {std::move(text), "에러", MB_OK | MB_ICONERROR}; }

  ui::TestHost host_;
  ui::App app_{host_};
  CTellomarEnv env_;
};

// ---------------------------------------------------------------- config

class EnvConfigTest : public EnvTest {
 protected:
  void SetUp() override {
    EnvTest::SetUp();
    dir_ = std::filesystem::temp_directory_path() / ("tellomar_env_cfg." + std::to_string(getpid()));
    std::filesystem::create_directories(dir_ / "Env");
    env_.m_strIniPath = (dir_ / "Env/Tellomar.INI").string();
    env_.m_strZevrinIniPath = (dir_ / "Env/Zevrin.INI").string();
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    EnvTest::TearDown();
  }
  // Configuration files are in code page 949, as Windows programs write them.
  void WriteIni(const std::string& text) {
    std::ofstream(env_.m_strIniPath, std::ios::binary) << platform::Utf8ToCp949(text);
  }
  std::filesystem::path dir_;
};

TEST_F(EnvConfigTest, MissingOrEmptyServerAddressIsReportedAndRefused) {
  const std::string kText = "서버 IP 주소 설정 정보를 읽을수 없습니다.";
  for (const char* ini : {"", "[Tellomar]\r\nSERVER_IP_ADDR=\r\n", "[Tellomar]\r\nSERVER_IP_ADDR=   \r\n",
                          "[Other]\r\nSERVER_IP_ADDR=10.0.0.1\r\n"}) {
    SCOPED_TRACE(ini);
    if (*ini) WriteIni(ini);
    std::size_t before = Boxes().size();
    EXPECT_EQ(env_.LoadEnv(), 0);
    ASSERT_EQ(Boxes().size(), before + 1);
    EXPECT_EQ(Boxes().back(), Error(kText));
    EXPECT_TRUE(env_.m_strServerPort.empty());
  }
}

TEST_F(EnvConfigTest, LoadEnvReadsAddressAndPrinterAndFixesPortAndDatabase) {
  WriteIni("[Tellomar]\r\nSERVER_IP_ADDR=192.168.0.7\r\nMINI_PRINT_DRIVER=영수증 프린터\r\n");
  env_.m_strDBName.clear();
  EXPECT_EQ(env_.LoadEnv(), 1);
  EXPECT_EQ(env_.m_strServerIP, "192.168.0.7");
  EXPECT_EQ(env_.m_strServerPort, "8907");
  EXPECT_EQ(env_.m_strDBName, "NEW_ORV");
  EXPECT_EQ(env_.m_strMiniPrintDriver, "영수증 프린터");
  EXPECT_TRUE(Boxes().empty());

  WriteIni("[Tellomar]\r\nSERVER_IP_ADDR=10.1.1.1\r\n");
  EXPECT_EQ(env_.LoadEnv(), 1);
  EXPECT_EQ(env_.m_strMiniPrintDriver, "");
}

TEST_F(EnvConfigTest, SaveServerAddressWritesBothFiles) {
  WriteIni("[Tellomar]\r\nSERVER_IP_ADDR=1.1.1.1\r\nMINI_PRINT_DRIVER=P\r\n");
  env_.m_strServerIP = "10.20.30.40";
  EXPECT_EQ(env_.SaveServerAddress(), 1);
  EXPECT_EQ(platform::GetPrivateProfileString("Tellomar", "SERVER_IP_ADDR", "", env_.m_strIniPath), "10.20.30.40");
  EXPECT_EQ(platform::GetPrivateProfileString("Tellomar", "MINI_PRINT_DRIVER", "", env_.m_strIniPath), "P");
  EXPECT_EQ(platform::GetPrivateProfileString("VERSION_CHECK_CONNECT", "VC_SERVER_IP_ADDR", "",
                                              env_.m_strZevrinIniPath),
            "10.20.30.40");
  // A folder that does not exist: the writes fail, the result stays 1.
  env_.m_strIniPath = (dir_ / "missing/Tellomar.INI").string();
  EXPECT_EQ(env_.SaveServerAddress(), 1);
}

// ---------------------------------------------------------- unreachable

TEST_F(EnvTest, UnreachableServerGivesTheConnectionResultsOfEachWrapper) {
  Bind(UnusedPort());
  const std::string kDbError = "데이터베이스 오류입니다.\r\n오류코드:-1722\r\n오류메세지:The RPC server is unavailable.";

  EXPECT_EQ(env_.ExecuteSQL("update T set A = 1", false), 1);
  EXPECT_TRUE(Boxes().empty());

  EXPECT_EQ(env_.ExecuteSQL("update T set A = 1", true), 0);
  EXPECT_EQ(Boxes().back(), Error("                서버 접속 오류입니다.\r\n                오류코드:-1722" + kTail));

  EXPECT_EQ(env_.ExecuteSQLWan("update T set A = 1"), 0);
  EXPECT_EQ(Boxes().back(), Error(kDbError));

  long rows = 5;
  EXPECT_EQ(env_.QueryRecord(1, "select 1", &rows), 0);
  EXPECT_EQ(env_.BulkQueryRecord(1, "select 1", &rows), 0);

  std::string value = "kept";
  EXPECT_EQ(env_.GetFirstRecord(value, "select 1"), -1);
  std::vector<std::string> fields{"x"};
  EXPECT_EQ(env_.GetFirstRecord(fields, "select 1"), 0);
  EXPECT_TRUE(fields.empty());
  std::string record;
  EXPECT_EQ(env_.RDBQueryFirstRecord(record, "select 1"), -1);
  EXPECT_EQ(env_.RDBQueryExistData("select 1"), -1);
  EXPECT_EQ(env_.PDSGetCodeList("select 1"), 0);

  EXPECT_EQ(env_.GetUseResearch(), -1);
  env_.m_nIPTCode = 7;
  env_.m_strIPTName = "old";
  EXPECT_EQ(env_.GetUseIPT(), 0);
  EXPECT_EQ(env_.m_nIPTCode, 7);
  EXPECT_EQ(env_.m_strIPTName, "old");
  EXPECT_EQ(env_.GetDispConfTime(3), -1);
  EXPECT_EQ(env_.GetDispConfTime(kAllServicesCode), -1);
  EXPECT_EQ(env_.GetRstDispDay(3), -1);
  EXPECT_EQ(env_.GetUseChgCallbackNo(3), -1);
  EXPECT_EQ(env_.GetUseDenyNospam(3), -1);
  CDateTime date;
  EXPECT_EQ(env_.GetServerDate(date), -1);
  env_.m_nDeleteOldDataDays = 5;
  env_.m_nMinNoanswerWaitTime = 5;
  EXPECT_EQ(env_.GetDeleteOldDataDays(), 0);
  EXPECT_EQ(env_.m_nDeleteOldDataDays, 60);
  EXPECT_EQ(env_.GetMinNoanswerWaitTime(), 0);
  EXPECT_EQ(env_.m_nMinNoanswerWaitTime, 10);

  // After the connection text of ExecuteSQL, each of the 18 failing calls
  // is reported once with the database-error text.
  ASSERT_EQ(Boxes().size(), 19u);
  for (std::size_t i = 1; i < Boxes().size(); ++i) EXPECT_EQ(Boxes()[i], Error(kDbError)) << i;
}

TEST_F(EnvTest, NoBindingFailsWithTheInvalidHandleStatus) {
  ASSERT_EQ(env_.m_hRDB, 0u);
  EXPECT_EQ(env_.ExecuteSQL("select 1", true), 0);
  EXPECT_EQ(Boxes().back(), Error("                서버 접속 오류입니다.\r\n                오류코드:-1702" + kTail));
}

// ------------------------------------------------------------ live server

class EnvLiveTest : public EnvTest {
 protected:
  void SetUp() override {
    EnvTest::SetUp();
    ASSERT_EQ(service_.error(), "");
    Bind(service_.port());
    env_.m_strUserID = "user1";
  }
  void Exec(const std::string& sql) {
    ASSERT_EQ(env_.ExecuteSQL(sql, true), 1) << sql;
  }
  void AddService(int id, const std::string& user, int type, int disp_conf, int disp_day) {
    Exec("insert into SERVICE_INFO (SVC_ID, USER_ID, SVC_NM, SVC_TYPE, DISP_CONF_TIME, RST_ORV_DISP_DAY, "
         "USE_CHG_CALLBACK_NO, USE_DENY_NOSPAM) values (" +
         std::to_string(id) + ", '" + user + "', '서비스', " + std::to_string(type) + ", " +
         std::to_string(disp_conf) + ", " + std::to_string(disp_day) + ", " + std::to_string(id % 2) + ", " +
         std::to_string(1 - id % 2) + ")");
  }
  LiveService service_;
};

TEST_F(EnvLiveTest, ServiceLookups) {
  AddService(101, "user1", 1, 5, 7);
  AddService(102, "user1", 4, 9, 30);
  AddService(201, "other", 4, 0, 90);

  EXPECT_EQ(env_.GetUseResearch(), 1);
  EXPECT_EQ(env_.GetDispConfTime(101), 5);
  EXPECT_EQ(env_.GetDispConfTime(999), 0);  // no such service
  EXPECT_EQ(env_.GetDispConfTime(kAllServicesCode), 1);  // none of user1's has '0'
  EXPECT_EQ(env_.GetRstDispDay(101), 7);
  EXPECT_EQ(env_.GetRstDispDay(kAllServicesCode), 30);
  EXPECT_EQ(env_.GetUseChgCallbackNo(101), 1);
  EXPECT_EQ(env_.GetUseChgCallbackNo(102), 0);
  EXPECT_EQ(env_.GetUseDenyNospam(102), 1);
  EXPECT_EQ(env_.GetUseDenyNospam(999), 0);

  AddService(103, "user1", 1, 0, 3);
  EXPECT_EQ(env_.GetDispConfTime(kAllServicesCode), 0);

  env_.m_strUserID = "other";
  EXPECT_EQ(env_.GetDispConfTime(kAllServicesCode), 0);
  env_.m_strUserID = "nobody";
  EXPECT_EQ(env_.GetUseResearch(), 0);
  EXPECT_EQ(env_.GetDispConfTime(kAllServicesCode), 1);
  EXPECT_EQ(env_.GetRstDispDay(kAllServicesCode), 0);  // max over no rows
  // A user ID with an apostrophe stays inside its literal.
  env_.m_strUserID = "x' or '1'='1";
  EXPECT_EQ(env_.GetUseResearch(), 0);
  EXPECT_EQ(env_.GetDispConfTime(kAllServicesCode), 1);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(EnvLiveTest, CodeLookupsWithAndWithoutTheirRows) {
  env_.m_nDeleteOldDataDays = 1;
  EXPECT_EQ(env_.GetDeleteOldDataDays(), 0);
  EXPECT_EQ(env_.m_nDeleteOldDataDays, 60);
  EXPECT_EQ(env_.GetMinNoanswerWaitTime(), 0);
  EXPECT_EQ(env_.m_nMinNoanswerWaitTime, 10);
  EXPECT_EQ(env_.GetUseIPT(), 0);
  EXPECT_EQ(env_.m_nIPTCode, 0);

  Exec("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('DELETE_OLD_DATA_DAYS', '90', '')");
  Exec("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('MIN_NOANSWER_WAIT_TIME', '25', '')");
  Exec("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('USE_IPT', '2', '인터넷전화')");
  EXPECT_EQ(env_.GetDeleteOldDataDays(), 1);
  EXPECT_EQ(env_.m_nDeleteOldDataDays, 90);
  EXPECT_EQ(env_.GetMinNoanswerWaitTime(), 1);
  EXPECT_EQ(env_.m_nMinNoanswerWaitTime, 25);
  EXPECT_EQ(env_.GetUseIPT(), 1);
  EXPECT_EQ(env_.m_nIPTCode, 2);
  EXPECT_EQ(env_.m_strIPTName, "인터넷전화");

  Exec("delete from CODE_INFO where CD_GRP = 'DELETE_OLD_DATA_DAYS'");
  EXPECT_EQ(env_.GetDeleteOldDataDays(), 0);
  EXPECT_EQ(env_.m_nDeleteOldDataDays, 60);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(EnvLiveTest, ServerDate) {
  CDateTime date;
  ASSERT_EQ(env_.GetServerDate(date), 1);
  EXPECT_TRUE(date.IsValid());
  EXPECT_GE(date.GetYear(), 2020);
}

TEST_F(EnvLiveTest, FirstRecordForms) {
  Exec("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('G', '1', '가나다')");
  std::string value;
  EXPECT_EQ(env_.GetFirstRecord(value, "select CD_NM, CD_ID from CODE_INFO where CD_GRP = 'G'"), 1);
  EXPECT_EQ(value, "가나다");
  std::vector<std::string> fields;
  EXPECT_EQ(env_.GetFirstRecord(fields, "select CD_NM, CD_ID, CD_GRP from CODE_INFO where CD_GRP = 'G'"), 1);
  EXPECT_EQ(fields, (std::vector<std::string>{"가나다", "1", "G"}));
  std::string record;
  EXPECT_EQ(env_.RDBQueryFirstRecord(record, "select CD_NM, CD_ID from CODE_INFO where CD_GRP = 'G'"), 1);
  EXPECT_EQ(record, "가나다:;1:;");
  EXPECT_EQ(env_.RDBQueryExistData("select CD_ID from CODE_INFO where CD_GRP = 'G'"), 1);
  EXPECT_EQ(env_.RDBQueryExistData("select CD_ID from CODE_INFO where CD_GRP = 'none'"), 0);
  EXPECT_TRUE(Boxes().empty());

  // No row: silent with the flag clear, the no-data message with it set.
  const std::string none = "select CD_ID from CODE_INFO where CD_GRP = 'none'";
  EXPECT_EQ(env_.GetFirstRecord(value, none, false), 0);
  EXPECT_EQ(env_.GetFirstRecord(fields, none, false), 0);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(env_.GetFirstRecord(value, none, true), 0);
  EXPECT_EQ(env_.GetFirstRecord(fields, none, true), 0);
  EXPECT_EQ(Boxes(), (std::vector<Shown>{Error("조건에 맞는 자료가 없습니다."), Error("조건에 맞는 자료가 없습니다.")}));
}

TEST_F(EnvLiveTest, RefusedStatementsShowTheServersCode) {
  EXPECT_EQ(env_.ExecuteSQL("select frobnicate from nowhere", false), 1);
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(env_.ExecuteSQL("select frobnicate from nowhere", true), 0);
  ASSERT_EQ(Boxes().size(), 1u);
  const std::string text = Boxes()[0].text;
  EXPECT_EQ(text.rfind("                데이터베이스 오류입니다.\r\n                오류코드:", 0), 0u) << text;
  EXPECT_EQ(text.find("오류코드:0\r\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with(kTail));

  EXPECT_EQ(env_.ExecuteSQLWan("select frobnicate from nowhere"), 0);
  // The Wan call carries the server's code only.
  EXPECT_EQ(Boxes()[1].text.rfind("데이터베이스 오류입니다.\r\n오류코드:", 0), 0u);
  EXPECT_TRUE(Boxes()[1].text.ends_with("\r\n오류메세지:")) << Boxes()[1].text;
  std::string value;
  EXPECT_EQ(env_.GetFirstRecord(value, "select frobnicate from nowhere"), -1);
  long rows = 0;
  EXPECT_EQ(env_.QueryRecord(1, "select frobnicate from nowhere", &rows), 0);
  ASSERT_EQ(Boxes().size(), 4u);
  EXPECT_NE(Boxes()[3].text.find("nowhere"), std::string::npos) << Boxes()[3].text;  // the server's text
}

TEST_F(EnvLiveTest, QueriesDeliverUtf8RecordsToTheInstalledHandler) {
  Exec("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('G', '1', '똠방각하')");
  Exec("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('G', '2', 'it''s')");
  for (bool bulk : {false, true}) {
    std::vector<std::string> got;
    std::vector<int> ids;
    CTellomarEnv::SetRecordHandler([&](std::int32_t id, std::int32_t, std::string_view rec) {
      ids.push_back(id);
      got.emplace_back(rec);
      return 1;
    });
    long rows = 0;
    const char* sql = "select CD_ID, CD_NM from CODE_INFO where CD_GRP = 'G' order by CD_ID";
    EXPECT_EQ(bulk ? env_.BulkQueryRecord(77, sql, &rows) : env_.QueryRecord(77, sql, &rows), 1);
    EXPECT_EQ(got, (std::vector<std::string>{"1:;똠방각하:;", "2:;it's:;"}));
    EXPECT_EQ(ids, (std::vector<int>{77, 77}));
    EXPECT_EQ(rows, 2);
  }
}

TEST_F(EnvLiveTest, CodeListFillsColumnsAndPutsThePreviousHandlerBack) {
  Exec("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('G', '1', '하나')");
  Exec("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('G', '2', '둘')");
  int outside = 0;
  CTellomarEnv::SetRecordHandler([&](std::int32_t, std::int32_t, std::string_view) {
    ++outside;
    return 1;
  });
  env_.m_CodeList.AppendRow(CRDBRecord());  // a stale row the call must clear
  EXPECT_EQ(env_.PDSGetCodeList("select CD_ID, CD_NM, CD_GRP from CODE_INFO where CD_GRP = 'G' order by CD_ID"), 1);
  EXPECT_EQ(outside, 0);
  ASSERT_EQ(env_.m_CodeList.GetRowCount(), 2);
  EXPECT_EQ(env_.m_CodeList.Column(0), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(env_.m_CodeList.Column(1), (std::vector<std::string>{"하나", "둘"}));
  EXPECT_EQ(env_.m_CodeList.Column(2), (std::vector<std::string>{"G", "G"}));
  EXPECT_EQ(env_.m_CodeList.Column(3), (std::vector<std::string>{"", ""}));

  long rows = 0;
  EXPECT_EQ(env_.QueryRecord(1, "select CD_ID from CODE_INFO", &rows), 1);
  EXPECT_EQ(outside, 2);

  EXPECT_EQ(env_.PDSGetCodeList("select CD_ID from CODE_INFO where CD_GRP = 'none'"), 1);
  EXPECT_EQ(env_.m_CodeList.GetRowCount(), 0);
}

TEST_F(EnvLiveTest, BulkExecutionAndRawQueriesReportWithoutMessages) {
  CSQLBatch batch;
  ASSERT_TRUE(batch.Add("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('B', '1', '첫째')"));
  ASSERT_TRUE(batch.Add("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('B', '2', '둘째')"));
  ASSERT_TRUE(batch.Add("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('B', '1', '중복')"));
  long executed = -1;
  CDBError error;
  EXPECT_EQ(env_.RDBBulkExecuteSQL(batch, &executed, &error), 0);
  EXPECT_EQ(executed, 2);
  EXPECT_NE(error.code, 0);
  EXPECT_FALSE(error.message.empty());

  std::vector<std::string> got;
  CTellomarEnv::SetRecordHandler([&](std::int32_t, std::int32_t, std::string_view rec) {
    got.emplace_back(rec);
    return 1;
  });
  long rows = 0;
  EXPECT_EQ(env_.RDBQueryRecord(5, "select CD_NM from CODE_INFO where CD_GRP = 'B' order by CD_ID", &rows, &error,
                                true),
            1);
  EXPECT_EQ(got, (std::vector<std::string>{"첫째:;", "둘째:;"}));
  EXPECT_EQ(error.code, 0);
  EXPECT_EQ(env_.RDBQueryRecord(5, "select x from nowhere", &rows, &error), 0);
  EXPECT_NE(error.message.find("nowhere"), std::string::npos) << error.message;
  EXPECT_TRUE(Boxes().empty());
  env_.ShowDBError(CDBError{-1726, "연결 끊김"});
  EXPECT_EQ(Boxes().back(), Error("데이터베이스 오류입니다.\r\n오류코드:-1726\r\n오류메세지:연결 끊김"));
}

TEST_F(EnvLiveTest, DefaultHandlerPrintsFieldsAndLibraryMessagesReachTheMessageBox) {
  Exec("insert into CODE_INFO (CD_GRP, CD_ID, CD_NM) values ('G', '1', '가')");
  env_.InstallDefaultRecordHandler();
  long rows = 0;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(env_.QueryRecord(1, "select CD_ID, CD_NM, '' from CODE_INFO where CD_GRP = 'G'", &rows), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "(1)(가)()\n");

  // Without any handler libQuerion's fallback speaks, through the hook.
  CTellomarEnv::SetRecordHandler({});
  EXPECT_EQ(env_.QueryRecord(1, "select CD_ID from CODE_INFO where CD_GRP = 'G'", &rows), 1);
  EXPECT_EQ(Boxes(), (std::vector<Shown>{{"함수 포인터가 초기화 되지 않았습니다", "RPC LIB 에러", MB_OK | MB_ICONERROR}}));
}

// ----------------------------------------------------------- utilities

TEST_F(EnvTest, MessageBoxesHaveTheirCaptionsAndIcons) {
  ui::Dialog owner(app_, "owner", ui::Rect{0, 0, 10, 10});
  EXPECT_EQ(env_.MsgInfo("%d건 처리", 3), ui::IDOK);
  env_.MsgInfo(&owner, "%s", "저장했습니다");
  env_.MsgError("오류 %s", "x");
  env_.MsgError(&owner, "오류");
  host_.AnswerMessageBox(ui::IDNO);
  EXPECT_EQ(env_.MsgBox(&owner, "확인", ui::MB_YESNO | ui::MB_ICONQUESTION, "삭제 하시겠습니까? (%d)", 2), ui::IDNO);
  env_.ShowConnectError();
  env_.ShowConnectError("전송 중");
  RDB_ERROR err{};
  err.nCode = 2627;
  std::string msg = platform::Utf8ToCp949("중복 키");
  std::memcpy(err.szMessage, msg.c_str(), msg.size() + 1);
  env_.ShowDBError(err);
  EXPECT_EQ(Boxes(),
            (std::vector<Shown>{
                {"3건 처리", "알림", MB_OK | MB_ICONINFORMATION},
                {"저장했습니다", "알림", MB_OK | MB_ICONINFORMATION},
                Error("오류 x"),
                Error("오류"),
                {"삭제 하시겠습니까? (2)", "확인", ui::MB_YESNO | ui::MB_ICONQUESTION},
                Error("                    서버 접속 오류입니다." + kTail),
                Error(" 전송 중\r\n                        서버 접속 오류입니다." + kTail),
                Error("데이터베이스 오류입니다.\r\n오류코드:2627\r\n오류메세지:중복 키"),
            }));
  EXPECT_TRUE(host_.faults().empty());
}

TEST_F(EnvTest, LongMessagesAreCutAtAWholeCharacter) {
  std::string text(4094, 'a');
  text += "가";  // would end at byte 4097
  env_.MsgInfo("%s", text.c_str());
  EXPECT_EQ(Boxes().back().text, std::string(4094, 'a'));
}

TEST(EnvWithoutWindows, MessagesGoToStandardErrorAndQuestionsAreRefused) {
  CTellomarEnv env;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(env.MsgError("없음"), ui::IDOK);
  EXPECT_EQ(env.MsgBox(nullptr, "확인", ui::MB_YESNO, "종료?"), ui::IDNO);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "에러: 없음\n확인: 종료?\n");
}

TEST(EnvDefaults, ConstructedState) {
  CTellomarEnv env;
  EXPECT_EQ(env.m_hRDB, 0u);
  EXPECT_TRUE(env.m_strServerIP.empty());
  EXPECT_TRUE(env.m_strUserID.empty());
  EXPECT_EQ(env.m_nDeleteOldDataDays, 60);
  EXPECT_EQ(env.m_CodeList.GetRowCount(), 0);
}

TEST_F(EnvTest, ComboCodesAndTexts) {
  ui::Dialog dlg(app_, "d", ui::Rect{0, 0, 10, 10});
  ui::ComboBox& combo = dlg.AddComboBox(1000, ui::Rect{0, 0, 10, 10});
  EXPECT_EQ(CTellomarEnv::GetComboText(combo), "");
  EXPECT_EQ(CTellomarEnv::GetComboCode(combo), "");
  combo.AddString("99999999.전체");
  combo.AddString("1203.ORV.안내");
  combo.AddString("이름만");
  struct Case {
    int sel;
    const char* text;
    const char* code;
  } cases[] = {{0, "99999999.전체", "99999999"}, {1, "1203.ORV.안내", "1203"}, {2, "이름만", ""}, {-1, "", ""}};
  for (const Case& c : cases) {
    combo.SetCurSel(c.sel);
    EXPECT_EQ(CTellomarEnv::GetComboText(combo), c.text) << c.sel;
    EXPECT_EQ(CTellomarEnv::GetComboCode(combo), c.code) << c.sel;
  }
  EXPECT_EQ(CTellomarEnv::GetCode("12.서비스"), "12");
  EXPECT_EQ(CTellomarEnv::GetCode("서비스"), "");
  EXPECT_EQ(CTellomarEnv::GetCode(".x"), "");
}

}  // namespace
