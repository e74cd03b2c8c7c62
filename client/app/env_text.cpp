#include "client/app/env_text.h"

#include <cstdlib>

#include "client/app/sql_text.h"
#include "client/app/text_util.h"

namespace {

std::string Svc(long id) { return std::to_string(id); }

}  // namespace

std::string StmtGetUseResearch(std::string_view user_id) {
  return "select SVC_TYPE from SERVICE_INFO where USER_ID = '" + SqlText(user_id) + "' and SVC_TYPE = '4' ";
}

std::string StmtGetUseIPT() { return "select CD_ID, CD_NM from CODE_INFO where CD_GRP = 'USE_IPT'"; }

std::string StmtGetDispConfTime(long service_id, std::string_view user_id) {
  if (service_id == kAllServicesCode) {
    return "select count(*) CNT from SERVICE_INFO where USER_ID = '" + SqlText(user_id) +
           "' and DISP_CONF_TIME = '0' ";
  }
  return "select DISP_CONF_TIME from SERVICE_INFO where SVC_ID = " + Svc(service_id);
}

std::string StmtGetRstDispDay(long service_id, std::string_view user_id) {
  if (service_id == kAllServicesCode) {
    return "select max(RST_ORV_DISP_DAY) CNT from SERVICE_INFO where USER_ID = '" + SqlText(user_id) + "' ";
  }
  return "select RST_ORV_DISP_DAY from SERVICE_INFO where SVC_ID = " + Svc(service_id);
}

std::string StmtGetDeleteOldDataDays() { return "select CD_ID from CODE_INFO where CD_GRP = 'DELETE_OLD_DATA_DAYS'"; }

std::string StmtGetMinNoanswerWaitTime() {
  return "select CD_ID from CODE_INFO where CD_GRP = 'MIN_NOANSWER_WAIT_TIME'";
}

std::string StmtGetUseChgCallbackNo(long service_id) {
  return "select USE_CHG_CALLBACK_NO from SERVICE_INFO where SVC_ID = " + Svc(service_id);
}

std::string StmtGetUseDenyNospam(long service_id) {
  return "select USE_DENY_NOSPAM from SERVICE_INFO where SVC_ID = " + Svc(service_id);
}

std::string StmtGetServerDate() { return "select getdate()"; }

long FieldNumber(std::string_view field) {
  std::string s(field.substr(0, 64));
  return std::strtol(s.c_str(), nullptr, 10);
}

int DispConfTimeForAll(long count) { return count <= 0 ? 1 : 0; }

bool SetFromServerDate(std::string_view answer, CDateTime& out) {
  if (answer.size() < 19) return false;
  CDateTime t = out;
  if (!t.SetDate(answer.substr(0, 10)) || !t.SetTime(answer.substr(11, 8))) return false;
  out = t;
  return true;
}

void CCodeList::Clear() {
  for (auto& c : columns_) c.clear();
}

void CCodeList::AppendRow(const CRDBRecord& record) {
  for (int i = 0; i < kCodeListColumns; ++i) {
    columns_[static_cast<std::size_t>(i)].emplace_back(record.Field(i));
  }
}

bool ParseUseIpt(const CRDBRecord& record, int* code, std::string* name) {
  if (record.GetCount() < 2) return false;
  *code = static_cast<int>(FieldNumber(record.Field(0)));
  *name = std::string(record.Field(1));
  return true;
}

std::string DefaultRecordText(const CRDBRecord& record) {
  std::string out;
  for (int i = 0; i < record.GetCount(); ++i) out += "(" + std::string(record.Field(i)) + ")";
  return out;
}

std::string DBErrorText(long code, std::string_view message) {
  return "데이터베이스 오류입니다.\r\n오류코드:" + std::to_string(code) + "\r\n오류메세지:" + std::string(message);
}

std::string ExecuteConnectErrorText(long result) {
  return "                서버 접속 오류입니다.\r\n                오류코드:" + std::to_string(result) +
         "\r\n 일시적인 인터넷 장애일수 있으니 잠시 후 다시 시도하여 주십시오";
}

std::string ExecuteDBErrorText(long code) {
  return "                데이터베이스 오류입니다.\r\n                오류코드:" + std::to_string(code) +
         "\r\n 일시적인 인터넷 장애일수 있으니 잠시 후 다시 시도하여 주십시오";
}

std::string ConnectErrorText(std::optional<std::string_view> text) {
  if (text) {
    return " " + std::string(*text) +
           "\r\n                        서버 접속 오류입니다.\r\n 일시적인 인터넷 장애일수 있으니 잠시 후 다시 "
           "시도하여 주십시오";
  }
  return "                    서버 접속 오류입니다.\r\n 일시적인 인터넷 장애일수 있으니 잠시 후 다시 시도하여 주십시오";
}

std::string DebugServerIp(std::string_view ip) { return "SERVER_IP(" + std::string(ip) + ")"; }
std::string DebugServerPort(std::string_view port) { return "SERVER_PORT(" + std::string(port) + ")"; }
std::string DebugDatabaseName(std::string_view name) { return "DATABASE_NAME(" + std::string(name) + ")"; }
std::string DebugMiniPrintDriver(std::string_view driver) { return "MINI_PRINT_DRIVER(" + std::string(driver) + ")"; }
std::string DebugServerOpen(std::string_view ip, std::string_view port) {
  return "CTellomarEnv::RDBServerOpen IP(" + std::string(ip) + ") PORT(" + std::string(port) + ")";
}
std::string DebugQueryExistData(std::string_view sql) {
  return "CTellomarEnv::RDBQueryExistData(" + std::string(sql) + ")";
}
std::string DebugCodeList(std::string_view sql) { return "CFrmPrDistData::PDSGetCodeList(" + std::string(sql) + ")"; }
