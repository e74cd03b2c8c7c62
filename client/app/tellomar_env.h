// The session environment: the server address, the database name, the
// remote-database binding and the logged-in user, the wrappers of the RDB
// calls of libQuerion with their result conventions and messages, the code
// and service lookups, and the message boxes every screen uses.
//
// Text: everything in and out of this class is UTF-8. Statements cross into
// libQuerion in code page 949 and records, error texts and the library's
// own messages come back converted to UTF-8, here and nowhere else, so no
// screen ever sees code page 949. Screens install their record handlers
// through SetRecordHandler, which receives UTF-8 records.
//
// Message boxes go to the window layer's application given with SetApp;
// without one (before the window layer is up) they are written to standard
// error as "caption: text" and answered with OK when that is their only
// button, else with No or Cancel.
//
// The program makes one environment and publishes it in g_pEnv; tests make
// their own. The wrappers may be called from several threads (the notice
// thread runs first-record lookups); nothing here locks the members the
// screens write.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "client/app/date_time.h"
#include "client/app/env_text.h"
#include "client/app/ini_file.h"
#include "client/app/sql_batch.h"
#include "client/app/text_util.h"
#include "dbclient/querion.h"
#include "ui/app.h"
#include "ui/controls.h"
#include "ui/window.h"

// An error record of the database service in UTF-8: the code (negative:
// minus the RPC status of a call that was not carried out) and the text.
struct CDBError {
  long code = 0;
  std::string message;
};

class CTellomarEnv {
 public:
  // A record handler of a handler-based query: query ID, second value and
  // the record text (UTF-8); returns 0 to stop the delivery, else 1.
  using RecordHandler = std::function<int(std::int32_t query_id, std::int32_t second, std::string_view record)>;

  // Formatted message texts are cut to this many bytes (at a whole
  // character).
  static constexpr std::size_t kMaxMessageText = 4095;

  CTellomarEnv();
  virtual ~CTellomarEnv();
  CTellomarEnv(const CTellomarEnv&) = delete;
  CTellomarEnv& operator=(const CTellomarEnv&) = delete;

  // The window layer's application that shows the message boxes (null:
  // standard error).
  void SetApp(ui::App* app) { app_ = app; }
  ui::App* GetApp() const { return app_; }

  // Configuration and binding. ---------------------------------------------

  // Reads SERVER_IP_ADDR and MINI_PRINT_DRIVER of the configuration file and
  // sets the port and database name. 1 when read; 0, after the message
  // "서버 IP 주소 설정 정보를 읽을수 없습니다.", when the address is missing
  // or empty.
  int LoadEnv();
  // Writes m_strServerIP into the client's and the updater's configuration
  // files; returns 1 (the results of the writes are not reported).
  int SaveServerAddress();
  // Binds to m_strServerIP:m_strServerPort (no contact with the server yet);
  // 1 when a binding was made. The handle goes into m_hRDB (0 on failure).
  int RDBServerOpen();
  // Releases m_hRDB; the status of the library's close.
  int RDBServerClose();

  // Database wrappers. Every one passes m_hRDB and m_strDBName; messages
  // have no owner window, caption "에러" and the error icon. -----------------

  // "데이터베이스 오류입니다.\r\n오류코드:%d\r\n오류메세지:%s" with the record's
  // code and text (the text as libQuerion gives it, code page 949).
  void ShowDBError(const RDB_ERROR& error);
  void ShowDBError(const CDBError& error);
  // The connection-error text, with the caller's text first or without.
  void ShowConnectError();
  void ShowConnectError(std::string_view text);

  // 1 on success. On failure with report set: the connection-error text
  // (call not carried out) or the database-error text (statement refused),
  // and 0. On failure with report clear: 1, and nothing is shown.
  int ExecuteSQL(std::string_view sql, bool report = true);
  // 1 on success; else ShowDBError and 0.
  int ExecuteSQLWan(std::string_view sql);
  // 1 on success, else ShowDBError and 0. The rows reach the record handler
  // installed just before the call (SetRecordHandler), before the call
  // returns; rows, when given, receives the row count the server reports.
  int QueryRecord(long query_id, std::string_view sql, long* rows);
  int BulkQueryRecord(long query_id, std::string_view sql, long* rows);
  // First field of the first row: 1 with the value, 0 when there is no row
  // (with no_data_message set, "조건에 맞는 자료가 없습니다." is shown), -1
  // on failure (ShowDBError).
  int GetFirstRecord(std::string& value, std::string_view sql, bool no_data_message = false);
  // All fields of the first row: 1 with the fields, 0 when there is no row
  // or on failure. The vector is emptied first.
  int GetFirstRecord(std::vector<std::string>& fields, std::string_view sql, bool no_data_message = false);
  // The raw record text of the first row (fields each followed by ":;"): 1
  // when a row came back, 0 when none, -1 on failure (ShowDBError).
  int RDBQueryFirstRecord(std::string& record, std::string_view sql);
  // Whether the statement finds a row: as RDBQueryFirstRecord.
  int RDBQueryExistData(std::string_view sql);
  // Reads the rows of the statement into m_CodeList (field i of each row into
  // column i): 1 when read, 0 on failure. Uses query ID 9999 and its own
  // record handler; the handler installed before is put back afterwards.
  int PDSGetCodeList(std::string_view sql);

  // Calls for screens that judge the result themselves: the library's
  // result as it stands (positive success, 0 refused, negative not carried
  // out), the error record in UTF-8, and no message.
  //
  // The batch's statements in one call; executed receives how many of them,
  // in order, the server carried out.
  int RDBBulkExecuteSQL(const CSQLBatch& batch, long* executed, CDBError* error);
  // A handler-based query (bulk: the bulk form of the call).
  int RDBQueryRecord(long query_id, std::string_view sql, long* rows, CDBError* error, bool bulk = false);

  // Record handlers. -------------------------------------------------------

  // Installs the process-wide handler of handler-based queries (libQuerion
  // keeps one for the whole process) and returns the one it replaces. An
  // empty handler leaves records to libQuerion's own fallback.
  static RecordHandler SetRecordHandler(RecordHandler handler);
  // The default handler: writes every field of the record as "(%s)" to
  // standard output, then a line end; returns 1.
  static int DefaultRecordHandler(std::int32_t query_id, std::int32_t second, std::string_view record);
  // Installs the default handler and routes libQuerion's own messages (its
  // message hook) to this environment's message boxes.
  void InstallDefaultRecordHandler();

  // Lookups (each one first-record statement, no-data message off). --------

  // 1 when the user owns a survey service, 0 when not, -1 on failure.
  int GetUseResearch();
  // 1 with m_nIPTCode and m_strIPTName set from the USE_IPT code; 0, with
  // both unchanged, when the row is missing, too short or the call failed.
  int GetUseIPT();
  // The service's DISP_CONF_TIME (0 when there is no row), -1 on failure.
  // For kAllServicesCode: 1 when none of the user's services has '0', else
  // 0, -1 on failure.
  int GetDispConfTime(long service_id);
  // The service's RST_ORV_DISP_DAY, or for kAllServicesCode the largest of
  // the user's; -1 on failure.
  int GetRstDispDay(long service_id);
  // Sets m_nDeleteOldDataDays (60 without a row or on failure); 1 when the
  // row was read, else 0.
  int GetDeleteOldDataDays();
  // Sets m_nMinNoanswerWaitTime (10 without a row or on failure); 1 when the
  // row was read, else 0.
  int GetMinNoanswerWaitTime();
  // The service's value (0 when there is no row), -1 on failure.
  int GetUseChgCallbackNo(long service_id);
  int GetUseDenyNospam(long service_id);
  // 1 with the holder set to the server's date and time, -1 on failure (or
  // an answer that is no date and time).
  int GetServerDate(CDateTime& out);

  // Text and user-interface utilities. -------------------------------------

  static void StripNonDigits(std::string& text);
  static std::string GetDigits(std::string_view text);
  static int FormatTelNo(std::string& text);
  // True when a file or folder matches the path (wildcards allowed).
  static bool FileExists(std::string_view path);
  // Text of the selected item; empty when none is selected.
  static std::string GetComboText(const ui::ComboBox& combo);
  // Selected item's text up to its first '.'; empty when none is selected
  // or the text has no '.'.
  static std::string GetComboCode(const ui::ComboBox& combo);
  // Text up to its first '.'; empty when there is no '.'.
  static std::string GetCode(std::string_view code_and_name);

  // Message boxes with a printf-style text (UTF-8, cut to kMaxMessageText
  // bytes): caption "알림" with the information icon, caption "에러" with
  // the error icon, or the caller's caption and type. The result is the
  // button pressed (IDOK, IDYES, ...).
  int MsgInfo(const char* format, ...) __attribute__((format(printf, 2, 3)));
  int MsgInfo(ui::Window* owner, const char* format, ...) __attribute__((format(printf, 3, 4)));
  int MsgError(const char* format, ...) __attribute__((format(printf, 2, 3)));
  int MsgError(ui::Window* owner, const char* format, ...) __attribute__((format(printf, 3, 4)));
  int MsgBox(ui::Window* owner, const char* caption, unsigned type, const char* format, ...)
      __attribute__((format(printf, 5, 6)));
  // Shows a text as it stands (no formatting).
  int ShowMessage(ui::Window* owner, std::string_view text, std::string_view caption, unsigned type);

  // Members the screens read and write. -------------------------------------

  std::string m_strServerIP;
  std::string m_strServerPort;
  std::string m_strDBName;
  RDB_HANDLE m_hRDB = 0;
  std::string m_strUserID;
  std::string m_strPassword;
  std::string m_strAgentName;
  int m_nUseResearch = 0;
  int m_nIPTCode = 0;
  std::string m_strIPTName;
  std::string m_strMiniPrintDriver;
  int m_nDeleteOldDataDays = kDefaultDeleteOldDataDays;
  int m_nMinNoanswerWaitTime = kDefaultMinNoanswerWaitTime;
  CCodeList m_CodeList;

  // The configuration files, relative to the working directory unless set
  // otherwise.
  std::string m_strIniPath{kTellomarIniPath};
  std::string m_strZevrinIniPath{kZevrinIniPath};

 private:
  int QueryWith(bool bulk, long query_id, std::string_view sql, long* rows);
  int ShowErrorText(std::string_view text);

  ui::App* app_ = nullptr;
};

// The program's environment (set by the program at start, null before).
extern CTellomarEnv* g_pEnv;
