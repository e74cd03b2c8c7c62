#include "client/app/env_text.h"

#include <gtest/gtest.h>

#include "client/app/text_util.h"

namespace {

TEST(EnvText, LookupStatements) {
  EXPECT_EQ(StmtGetUseResearch("cust01"), "select SVC_TYPE from SERVICE_INFO where USER_ID = 'cust01' and SVC_TYPE = '4' ");
  EXPECT_EQ(StmtGetUseResearch("o'x"), "select SVC_TYPE from SERVICE_INFO where USER_ID = 'o''x' and SVC_TYPE = '4' ");
  EXPECT_EQ(StmtGetUseIPT(), "select CD_ID, CD_NM from CODE_INFO where CD_GRP = 'USE_IPT'");
  EXPECT_EQ(StmtGetDispConfTime(1201, "u"), "select DISP_CONF_TIME from SERVICE_INFO where SVC_ID = 1201");
  EXPECT_EQ(StmtGetDispConfTime(kAllServicesCode, "u"),
            "select count(*) CNT from SERVICE_INFO where USER_ID = 'u' and DISP_CONF_TIME = '0' ");
  EXPECT_EQ(StmtGetRstDispDay(7, "u"), "select RST_ORV_DISP_DAY from SERVICE_INFO where SVC_ID = 7");
  EXPECT_EQ(StmtGetRstDispDay(kAllServicesCode, "u"),
            "select max(RST_ORV_DISP_DAY) CNT from SERVICE_INFO where USER_ID = 'u' ");
  EXPECT_EQ(StmtGetDeleteOldDataDays(), "select CD_ID from CODE_INFO where CD_GRP = 'DELETE_OLD_DATA_DAYS'");
  EXPECT_EQ(StmtGetMinNoanswerWaitTime(), "select CD_ID from CODE_INFO where CD_GRP = 'MIN_NOANSWER_WAIT_TIME'");
  EXPECT_EQ(StmtGetUseChgCallbackNo(3), "select USE_CHG_CALLBACK_NO from SERVICE_INFO where SVC_ID = 3");
  EXPECT_EQ(StmtGetUseDenyNospam(3), "select USE_DENY_NOSPAM from SERVICE_INFO where SVC_ID = 3");
  EXPECT_EQ(StmtGetServerDate(), "select getdate()");
}

TEST(EnvText, ResultRules) {
  EXPECT_EQ(DispConfTimeForAll(0), 1);
  EXPECT_EQ(DispConfTimeForAll(-1), 1);
  EXPECT_EQ(DispConfTimeForAll(2), 0);
  EXPECT_EQ(FieldNumber(" 60"), 60);
  EXPECT_EQ(FieldNumber("-5x"), -5);
  EXPECT_EQ(FieldNumber(""), 0);
  CDateTime t;
  ASSERT_TRUE(SetFromServerDate("2024-02-29 23:59:58.997", t));
  EXPECT_EQ(t.GetDate("-") + " " + t.GetTimeMs(), "2024-02-29 23:59:58:000");
  CDateTime kept = t;
  EXPECT_FALSE(SetFromServerDate("2024-02-30 10:00:00.000", t));
  EXPECT_FALSE(SetFromServerDate("garbage", t));
  EXPECT_EQ(t.GetSystemTime(), kept.GetSystemTime());
}

TEST(EnvText, MessageTexts) {
  EXPECT_EQ(DBErrorText(-1722, "The RPC server is unavailable."),
            "데이터베이스 오류입니다.\r\n오류코드:-1722\r\n오류메세지:The RPC server is unavailable.");
  const std::string tail = "\r\n 일시적인 인터넷 장애일수 있으니 잠시 후 다시 시도하여 주십시오";
  EXPECT_EQ(ExecuteConnectErrorText(-1722),
            std::string(16, ' ') + "서버 접속 오류입니다.\r\n" + std::string(16, ' ') + "오류코드:-1722" + tail);
  EXPECT_EQ(ExecuteDBErrorText(208),
            std::string(16, ' ') + "데이터베이스 오류입니다.\r\n" + std::string(16, ' ') + "오류코드:208" + tail);
  EXPECT_EQ(ConnectErrorText("콜백 조회"), " 콜백 조회\r\n" + std::string(24, ' ') + "서버 접속 오류입니다." + tail);
  EXPECT_EQ(ConnectErrorText(std::nullopt), std::string(20, ' ') + "서버 접속 오류입니다." + tail);
  EXPECT_EQ(DebugServerOpen("1.2.3.4", kServerPort), "CTellomarEnv::RDBServerOpen IP(1.2.3.4) PORT(8907)");
  EXPECT_EQ(DebugQueryExistData("select 1"), "CTellomarEnv::RDBQueryExistData(select 1)");
  EXPECT_EQ(DebugCodeList("q"), "CFrmPrDistData::PDSGetCodeList(q)");
  EXPECT_EQ(DebugServerIp("h") + DebugServerPort("p") + DebugDatabaseName(kDatabaseName) + DebugMiniPrintDriver(""),
            "SERVER_IP(h)SERVER_PORT(p)DATABASE_NAME(NEW_ORV)MINI_PRINT_DRIVER()");
}

TEST(EnvText, CodeListKeepsColumnsAlignedToRows) {
  CCodeList list;
  CRDBRecord r;
  r.Parse("1:;a:;x:;");
  list.AppendRow(r);
  r.Parse("2:;b:;");  // fewer fields: column 2 gets an empty text for this row
  list.AppendRow(r);
  std::string wide;
  for (int i = 0; i < 12; ++i) wide += "w" + std::to_string(i) + ":;";
  r.Parse(wide);  // more than 10 fields: the rest are ignored
  list.AppendRow(r);
  EXPECT_EQ(list.GetRowCount(), 3);
  EXPECT_EQ(list.Column(2), (std::vector<std::string>{"x", "", "w2"}));
  EXPECT_EQ(list.Column(9), (std::vector<std::string>{"", "", "w9"}));
  list.Clear();
  EXPECT_EQ(list.GetRowCount(), 0);
}

TEST(EnvText, UseIptAndDefaultRecord) {
  CRDBRecord r;
  int code = -1;
  std::string name = "old";
  r.Parse("1:;");
  EXPECT_FALSE(ParseUseIpt(r, &code, &name));
  EXPECT_EQ(code, -1);
  EXPECT_EQ(name, "old");
  r.Parse("1:;g729:;");
  EXPECT_TRUE(ParseUseIpt(r, &code, &name));
  EXPECT_EQ(code, 1);
  EXPECT_EQ(name, "g729");
  EXPECT_EQ(DefaultRecordText(r), "(1)(g729)");
}

}  // namespace
