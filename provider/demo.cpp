#include "provider/demo.h"

#include <cstdio>
#include <vector>

#include "provider/procedures.h"
#include "provider/simulator.h"
#include "provider/sql/functions.h"

namespace provider {
namespace {

struct Abort {
  ExecResult result;
};

void Run(sqlite3* db, std::string_view sql, const std::vector<SqlValue>& binds = {}) {
  ExecResult r = RunSqlite(db, sql, binds);
  if (!r.ok()) throw Abort{r};
}

std::string Ymd(const DateTime& d) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.year, d.month, d.day);
  return buf;
}

void BaseData(sqlite3* db, const std::string& today) {
  const std::string user = kDemoUser;
  // The demo customer's rows are replaced as a whole.
  for (const char* table : {"REQ_ORV", "REQ_TMP", "RST_ORV", "RST_ORV_HIST", "RST_ORV_STATIS", "CALLBACK_INFO",
                            "RECEIPT_INFO", "USER_AGENT_INFO", "SERVICE_INFO", "TRANSFER_NUM_INFO", "QUESTION_INFO"})
    Run(db, std::string("DELETE FROM ") + table + " WHERE USER_ID = ?", {user});
  Run(db, "DELETE FROM QUEST_EX_INFO WHERE SVC_ID IN (1001, 1002, 1003)");
  Run(db, "DELETE FROM AGE_SAMPLE_INFO WHERE SVC_ID IN (1001, 1002, 1003)");
  Run(db, "DELETE FROM T_DENY_ORV WHERE C_USER_ID = ?", {user});
  Run(db, "DELETE FROM USER_INFO WHERE USER_ID = ?", {user});

  Run(db, "INSERT INTO USER_INFO (USER_ID, USER_NM, PASSWORD, REMAIN_PAY) VALUES (?, '데모고객', ?, 500000)",
      {user, std::string(kDemoPassword)});
  Run(db, "INSERT INTO USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT, LAST_DIST_DT) VALUES "
          "(?, '박상담', 'agent1', 30, ''), (?, '최상담', 'agent2', 20, '')",
      {user, user});
  // A second customer without a survey service: it sees the anti-spam
  // guideline at login, and its agent gets the callbacks screen (agents of a
  // survey customer have no screen at all).
  for (const char* table : {"USER_AGENT_INFO", "SERVICE_INFO", "REQ_ORV", "RST_ORV", "CALLBACK_INFO", "USER_INFO"})
    Run(db, std::string("DELETE FROM ") + table + " WHERE USER_ID = 'user02'");
  Run(db, "INSERT INTO USER_INFO (USER_ID, USER_NM, PASSWORD, REMAIN_PAY) VALUES ('user02', '일반고객', 'demo5678', "
          "100000)");
  Run(db, "INSERT INTO USER_AGENT_INFO (USER_ID, AGENT_NM, PASSWORD, DIST_COUNT, LAST_DIST_DT) VALUES "
          "('user02', '김상담', 'agent3', 10, '')");
  Run(db,
      "INSERT INTO SERVICE_INFO (SVC_ID, USER_ID, SVC_NM, SVC_TYPE, PROG_STAT, DEF_CALLER_ID, DISP_CONF_TIME, "
      "RST_ORV_DISP_DAY, USE_CHG_CALLBACK_NO, USE_DENY_NOSPAM, NUM_DIGIT, INTER_DIGIT, NOANSWER_TIME, "
      "CALLBACK_DIGIT, START_TM, END_TM, USE_SURVEY_INFO, REPLAY_DIGIT, MAX_TRANSFER_WAIT_TIME, CALL_PER_TIME, "
      "USING_LINES, DATA_SERVER_ID) VALUES "
      "(2001, 'user02', '배송 안내', 0, '1', '0317654321', 1, 30, 1, 1, '1', '3', 30, '9', '0000', '2400', '0', '*', "
      "20, 60, 2, 1)");
  Run(db, "INSERT OR REPLACE INTO DATA_SERVER_INFO (DATA_SERVER_ID, ORV_IP) VALUES (1, '127.0.0.1'), (2, '127.0.0.2')");
  Run(db,
      "INSERT INTO SERVICE_INFO (SVC_ID, USER_ID, SVC_NM, SVC_TYPE, PROG_STAT, DEF_CALLER_ID, DISP_CONF_TIME, "
      "RST_ORV_DISP_DAY, USE_CHG_CALLBACK_NO, USE_DENY_NOSPAM, NUM_DIGIT, INTER_DIGIT, NOANSWER_TIME, "
      "CALLBACK_DIGIT, START_TM, END_TM, USE_SURVEY_INFO, REPLAY_DIGIT, MAX_TRANSFER_WAIT_TIME, CALL_PER_TIME, "
      "USING_LINES, DATA_SERVER_ID) VALUES "
      "(1001, ?, '12월 안내', 0, '1', '0212345678', 1, 30, 1, 1, '1', '3', 30, '9', '0000', '2400', '0', '*', 20, "
      "60, 4, 1),"
      "(1002, ?, '정기 점검 안내', 5, '0', '0212345679', 1, 30, 0, 0, '1', '3', 30, '9', '0900', '1800', '0', '*', "
      "20, 60, 2, 2),"
      "(1003, ?, '고객 만족도 조사', 4, '1', '0212345670', 1, 30, 0, 0, '1', '3', 30, '', '0000', '2400', '1', '', "
      "0, 60, 4, 1)",
      {user, user, user});
  Run(db,
      "INSERT OR REPLACE INTO CODE_INFO (CD_GRP, CD_ID, CD_NM) VALUES "
      "('USE_IPT', '0', '일반전화'), ('DELETE_OLD_DATA_DAYS', '60', '60일'), ('MIN_NOANSWER_WAIT_TIME', '15', '15초'), "
      "('PROG_STAT', '0', '중지'), ('PROG_STAT', '1', '운영중'), ('PROG_STAT', '9', '삭제'), "
      "('IS_TRANSFER', '0', '연결안함'), ('IS_TRANSFER', '1', '연결함'), "
      "('IS_READY', '0', '대기아님'), ('IS_READY', '1', '대기중'), "
      "('SERVICE_OPTION', 'USE_MAX_NOANSWER_TIME', '60'), "
      "('RES_CODE', '0', '성공'), ('RES_CODE', '1', '통화중'), ('RES_CODE', '2', '자동응답기'), "
      "('RES_CODE', '3', '무응답'), ('RES_CODE', '4', '결번'), ('RES_CODE', '11', '기타')");
  Run(db,
      "INSERT INTO RECEIPT_INFO (USER_ID, PAY_DATE, PAY_TIME, AMMOUNT, RECEIPT_NAME, REGIST_DATE, REGIST_TIME) "
      "VALUES (?, ?, '100000', 300000, '선충전', ?, '100500'), (?, ?, '140000', 200000, '데모고객', ?, '141000')",
      {user, today, today, user, today, today});
  Run(db,
      "INSERT INTO T_DENY_ORV (C_USER_ID, C_TELNUM, C_REGIST_DATE, C_COMMENT) VALUES "
      "(?, '01099990001', ?, '고객 요청'), (?, '01099990002', ?, '고객 요청'), (?, '0299990003', ?, '수신거부 파일')",
      {user, today, user, today, user, today});
  Run(db, "INSERT OR REPLACE INTO T_DENY_ORV (C_USER_ID, C_TELNUM, C_REGIST_DATE, C_COMMENT) VALUES "
          "('all', '01088880001', ?, '공정거래 수신거부')",
      {today});
  Run(db,
      "INSERT INTO TRANSFER_NUM_INFO (USER_ID, SVC_ID, TEL_NUM, AGENT_NM, IS_TRANSFER, IS_READY, COMMENT) VALUES "
      "(?, 1001, '0233334444', '박상담', 1, 1, '상담 연결')",
      {user});
  // The survey: three questions of four, three and five answers.
  const char* questions[3] = {"연령대를 눌러 주십시오", "서비스에 만족하십니까", "다시 이용하시겠습니까"};
  const int answers[3] = {4, 3, 5};
  Run(db, "INSERT INTO QUEST_EX_INFO (SVC_ID, QUEST_NO, ANS_NO, COMMENT) VALUES (1003, 0, 3, '질문 수')");
  for (int q = 1; q <= 3; ++q) {
    Run(db,
        "INSERT INTO QUESTION_INFO (SVC_ID, USER_ID, QUEST_NO, QUEST_CONTENT, NUM_DIGIT, END_DIGIT, NEXT_QUEST) "
        "VALUES (1003, ?, ?, ?, 1, '#', ?)",
        {user, static_cast<int64_t>(q), std::string(questions[q - 1]), static_cast<int64_t>(q < 3 ? q + 1 : 99)});
    Run(db, "INSERT INTO QUEST_EX_INFO (SVC_ID, QUEST_NO, ANS_NO, COMMENT) VALUES (1003, ?, 0, ?), (1003, ?, 100, ?)",
        {static_cast<int64_t>(q), std::string(questions[q - 1]), static_cast<int64_t>(q),
         std::to_string(answers[q - 1])});
    for (int a = 1; a <= answers[q - 1]; ++a)
      Run(db, "INSERT INTO QUEST_EX_INFO (SVC_ID, QUEST_NO, ANS_NO, COMMENT) VALUES (1003, ?, ?, ?)",
          {static_cast<int64_t>(q), static_cast<int64_t>(a), "답변 " + std::to_string(a)});
  }
  Run(db,
      "INSERT INTO AGE_SAMPLE_INFO (SVC_ID, IS_USE, COMPLETE_CNT, NO1_END, NO1_CNT, NO2_CNT, NO3_CNT, NO4_CNT) "
      "VALUES (1003, 1, 3, 0, 20, 20, 20, 20)");
}

void Requests(sqlite3* db, int64_t svc, const std::string& title, const std::string& date, const std::string& time,
              int count, int first_number, const char* progress) {
  for (int i = 0; i < count; ++i) {
    char phone[16];
    std::snprintf(phone, sizeof phone, i % 3 == 2 ? "02%08d" : "010%08d", first_number + i);
    Run(db,
        "INSERT INTO REQ_ORV (USER_ID, SVC_ID, TITLE, RECV_PHONE, CUST_INFO, CUST_INFO2, CALLER_ID, RESERVE_INFO, "
        "PROGRESS, REG_DATE, REG_TIME) VALUES (?, ?, ?, ?, ?, ?, '0212345678', '000000000000', ?, ?, ?)",
        {std::string(kDemoUser), svc, title, std::string(phone), "고객" + std::to_string(i + 1),
         std::string(i % 2 ? "VIP" : "일반"), std::string(progress), date, time});
  }
}

}  // namespace

ExecResult CreateDemoData(Engine& engine, const std::string& today) {
  const std::optional<DateTime> day0 = ParseDateTime(today);
  if (!day0 || today.size() != 8) return ExecResult::Error(sqlcode::kProcedureArgument, "demo: bad date '" + today + "'");
  sqlite3* db = engine.handle();
  ExecResult r = engine.ExecuteNative("BEGIN IMMEDIATE");
  if (!r.ok()) return r;
  try {
    BaseData(db, today);
  } catch (const Abort& a) {
    engine.ExecuteNative("ROLLBACK");
    return a.result;
  }
  r = engine.ExecuteNative("COMMIT");
  if (!r.ok()) return r;

  // A week of history, made by the call simulator working the sends of each
  // day, so that results, callbacks, statistics and the balance agree.
  SimulatorOptions so;
  so.calls_per_step = 10;
  so.callback_percent = 30;
  so.seed = 7;
  Simulator sim(engine, so);
  for (int back = 6; back >= 0; --back) {
    DateTime d = *DateAdd("day", -back, *day0);
    const std::string date = Ymd(d);
    try {
      engine.ExecuteNative("BEGIN IMMEDIATE");
      Requests(db, 1001, date.substr(4, 2) + "월 안내 " + date.substr(6, 2) + "일", date, "090000", 20, back * 100, "0");
      Requests(db, 1003, "설문 " + date.substr(4, 2) + "월", date, "091000", 15, 5000 + back * 100, "0");
      engine.ExecuteNative("COMMIT");
    } catch (const Abort& a) {
      engine.ExecuteNative("ROLLBACK");
      return a.result;
    }
    for (int step = 0; step < 8; ++step) {
      d.hour = 9 + step;
      d.minute = (step * 7) % 60;
      r = sim.Step(d);
      if (!r.ok()) return r;
    }
  }
  // Today's pending requests: waiting and paused, and rows for agents.
  try {
    engine.ExecuteNative("BEGIN IMMEDIATE");
    Requests(db, 1001, "12월 안내", today, "100000", 30, 70000, "0");
    Requests(db, 1001, "12월 안내", today, "100100", 10, 71000, "9");
    Requests(db, 1003, "설문 12월", today, "100200", 15, 72000, "0");
    Run(db,
        "INSERT INTO REQ_TMP (USER_ID, SVC_ID, TITLE, RECV_PHONE, CUST_INFO, CALLER_ID, REG_DATE, REG_TIME, AGENT_NM) "
        "VALUES (?, 1003, '설문 12월', '01077770001', '홍길동', '0212345670', ?, '100300', ''), "
        "(?, 1003, '설문 12월', '01077770002', '김철수', '0212345670', ?, '100300', '박상담')",
        {std::string(kDemoUser), today, std::string(kDemoUser), today});
    engine.ExecuteNative("COMMIT");
  } catch (const Abort& a) {
    engine.ExecuteNative("ROLLBACK");
    return a.result;
  }
  return {};
}

}  // namespace provider
