// Statement texts, message texts and result rules of the session
// environment's lookups, as pure functions so that the environment object
// only has to run them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/app/date_time.h"
#include "client/app/rdb_record.h"

inline constexpr std::string_view kServerPort = "8907";
inline constexpr std::string_view kDatabaseName = "NEW_ORV";
inline constexpr int kDefaultDeleteOldDataDays = 60;
inline constexpr int kDefaultMinNoanswerWaitTime = 10;
inline constexpr int kCodeListQueryId = 9999;
inline constexpr int kCodeListColumns = 10;
inline constexpr std::size_t kCodeListFieldWidth = 255;
inline constexpr std::size_t kFirstRecordBufferSize = 4096;

// Statements of the lookups. User IDs go in as text literals with their
// apostrophes doubled.
std::string StmtGetUseResearch(std::string_view user_id);
std::string StmtGetUseIPT();
// For kAllServicesCode: the count of the user's services that show no
// confirmation time.
std::string StmtGetDispConfTime(long service_id, std::string_view user_id);
std::string StmtGetRstDispDay(long service_id, std::string_view user_id);
std::string StmtGetDeleteOldDataDays();
std::string StmtGetMinNoanswerWaitTime();
std::string StmtGetUseChgCallbackNo(long service_id);
std::string StmtGetUseDenyNospam(long service_id);
std::string StmtGetServerDate();

// The number in a field (leading blanks, sign and digits, as atoi; 0 for
// none).
long FieldNumber(std::string_view field);

// Result of GetDispConfTime for all services from the count read: 1 when it
// is 0 or less, else 0.
int DispConfTimeForAll(long count);

// Sets the holder from the server's "YYYY-MM-DD hh:mm:ss.mmm" answer: the
// first 10 characters as the date, the 8 from position 11 as the time. False
// when either part is refused (the holder may then have its date set).
bool SetFromServerDate(std::string_view answer, CDateTime& out);

// The code columns filled by the code-list query: field i of each row goes
// to column i. Rows with fewer fields get empty texts in the columns they
// lack, so every column keeps one entry per row and entry r of any column
// belongs to row r; fields beyond the tenth are ignored.
class CCodeList {
 public:
  void Clear();
  void AppendRow(const CRDBRecord& record);
  // The row count (the size of column 0).
  int GetRowCount() const { return static_cast<int>(columns_[0].size()); }
  const std::vector<std::string>& Column(int i) const { return columns_[static_cast<std::size_t>(i)]; }

 private:
  std::array<std::vector<std::string>, kCodeListColumns> columns_;
};

// The USE_IPT row: code ID (field 0 as a number) and code name (field 1).
// False, with the outputs unchanged, when the row has fewer than two fields.
bool ParseUseIpt(const CRDBRecord& record, int* code, std::string* name);

// What the default record handler writes for a record: every field as
// "(%s)".
std::string DefaultRecordText(const CRDBRecord& record);

// Message texts of the environment.
inline constexpr std::string_view kNoServerAddressText = "서버 IP 주소 설정 정보를 읽을수 없습니다.";
inline constexpr std::string_view kNoDataText = "조건에 맞는 자료가 없습니다.";
inline constexpr std::string_view kErrorCaption = "에러";
inline constexpr std::string_view kInfoCaption = "알림";
// ShowDBError.
std::string DBErrorText(long code, std::string_view message);
// ExecuteSQL with the report flag set: a call not carried out (negative
// result) and a refused statement (result 0, the server's code).
std::string ExecuteConnectErrorText(long result);
std::string ExecuteDBErrorText(long code);
// ShowConnectError with and without the caller's text.
std::string ConnectErrorText(std::optional<std::string_view> text);

// Debug lines of the environment.
std::string DebugServerIp(std::string_view ip);
std::string DebugServerPort(std::string_view port);
std::string DebugDatabaseName(std::string_view name);
std::string DebugMiniPrintDriver(std::string_view driver);
std::string DebugServerOpen(std::string_view ip, std::string_view port);
std::string DebugQueryExistData(std::string_view sql);
std::string DebugCodeList(std::string_view sql);
