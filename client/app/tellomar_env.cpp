#include "client/app/tellomar_env.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>

#include "client/app/debug_log.h"
#include "client/app/rdb_record.h"
#include "client/app/text_util.h"
#include "platform/codepage.h"
#include "platform/files.h"

CTellomarEnv* g_pEnv = nullptr;

namespace {

using platform::Cp949ToUtf8;
using platform::Utf8ToCp949;

// libQuerion keeps one record handler and one message hook for the whole
// process, as plain function pointers without a context. The UTF-8 handler
// of the environment and the environment that shows the library's messages
// therefore live here, next to the two trampolines that libQuerion calls.
std::mutex g_handler_mu;
std::shared_ptr<const CTellomarEnv::RecordHandler> g_handler;
std::atomic<CTellomarEnv*> g_hook_env{nullptr};

int RecordTrampoline(RDB_HANDLE, std::int32_t query_id, std::int32_t second, const char* record) {
  std::shared_ptr<const CTellomarEnv::RecordHandler> h;
  {
    std::lock_guard<std::mutex> lock(g_handler_mu);
    h = g_handler;
  }
  if (!h || !*h) return 1;
  return (*h)(query_id, second, Cp949ToUtf8(record ? record : ""));
}

void MessageHookTrampoline(const char* text, const char* caption) {
  std::string t = Cp949ToUtf8(text ? text : "");
  std::string c = Cp949ToUtf8(caption ? caption : "");
  if (CTellomarEnv* env = g_hook_env.load()) {
    env->ShowMessage(nullptr, t, c, ui::MB_OK | ui::MB_ICONERROR);
  } else {
    std::fprintf(stderr, "%s: %s\n", c.c_str(), t.c_str());
  }
}

// Cuts a UTF-8 text to at most n bytes without splitting a character.
std::string CutUtf8(std::string s, std::size_t n) {
  if (s.size() <= n) return s;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  s.resize(n);
  return s;
}

std::string FormatV(const char* format, va_list args) {
  if (!format) return {};
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, args);
  out.resize(static_cast<std::size_t>(n));
  return CutUtf8(std::move(out), CTellomarEnv::kMaxMessageText);
}

// The answer of a message box nobody can see: OK when that is its only
// button, else No or Cancel, since nobody agreed to anything.
int UnseenAnswer(unsigned type) {
  switch (type & ui::MB_BUTTONMASK) {
    case ui::MB_OK:
      return ui::IDOK;
    case ui::MB_YESNO:
      return ui::IDNO;
    default:
      return ui::IDCANCEL;
  }
}

}  // namespace

CTellomarEnv::CTellomarEnv() = default;

CTellomarEnv::~CTellomarEnv() {
  CTellomarEnv* self = this;
  if (g_hook_env.compare_exchange_strong(self, nullptr)) RDBSetMessageHook(nullptr);
}

// Configuration and binding.

int CTellomarEnv::LoadEnv() {
  CIniFile ini(m_strIniPath, kTellomarIniSection);
  std::string address;
  if (!ini.Read(kServerIpAddrKey, address)) {
    ShowErrorText(kNoServerAddressText);
    return 0;
  }
  m_strServerIP = address;
  m_strServerPort = std::string(kServerPort);
  m_strDBName = std::string(kDatabaseName);
  DebugLog("%s", DebugServerIp(m_strServerIP).c_str());
  DebugLog("%s", DebugServerPort(m_strServerPort).c_str());
  DebugLog("%s", DebugDatabaseName(m_strDBName).c_str());
  ini.Read(kMiniPrintDriverKey, m_strMiniPrintDriver);  // empty when missing
  DebugLog("%s", DebugMiniPrintDriver(m_strMiniPrintDriver).c_str());
  return 1;
}

int CTellomarEnv::SaveServerAddress() {
  CIniFile(m_strIniPath, kTellomarIniSection).Write(kServerIpAddrKey, m_strServerIP);
  CIniFile(m_strZevrinIniPath, kVersionCheckSection).Write(kVcServerIpAddrKey, m_strServerIP);
  return 1;
}

int CTellomarEnv::RDBServerOpen() {
  DebugLog("%s", DebugServerOpen(m_strServerIP, m_strServerPort).c_str());
  m_hRDB = ::RDBServerOpen(Utf8ToCp949(m_strServerIP).c_str(), Utf8ToCp949(m_strServerPort).c_str());
  return m_hRDB != 0 ? 1 : 0;
}

int CTellomarEnv::RDBServerClose() { return ::RDBServerClose(m_hRDB); }

// Messages of the wrappers.

int CTellomarEnv::ShowErrorText(std::string_view text) {
  return ShowMessage(nullptr, text, kErrorCaption, ui::MB_OK | ui::MB_ICONERROR);
}

void CTellomarEnv::ShowDBError(const RDB_ERROR& error) {
  // The message field need not hold its NUL when a caller filled it.
  std::string_view raw(error.szMessage, sizeof error.szMessage);
  raw = raw.substr(0, raw.find('\0'));
  ShowErrorText(DBErrorText(error.nCode, Cp949ToUtf8(raw)));
}

void CTellomarEnv::ShowDBError(const CDBError& error) { ShowErrorText(DBErrorText(error.code, error.message)); }

void CTellomarEnv::ShowConnectError() { ShowErrorText(ConnectErrorText(std::nullopt)); }

void CTellomarEnv::ShowConnectError(std::string_view text) { ShowErrorText(ConnectErrorText(text)); }

// Database wrappers.

int CTellomarEnv::ExecuteSQL(std::string_view sql, bool report) {
  RDB_ERROR err{};
  int r = ::RDBExecuteSQL(m_hRDB, m_strDBName.c_str(), Utf8ToCp949(sql).c_str(), &err);
  if (r > 0 || !report) return 1;
  if (r < 0) {
    ShowErrorText(ExecuteConnectErrorText(r));
  } else {
    ShowErrorText(ExecuteDBErrorText(err.nCode));
  }
  return 0;
}

int CTellomarEnv::ExecuteSQLWan(std::string_view sql) {
  RDB_ERROR err{};
  int r = ::RDBExecuteSQLWan(m_hRDB, m_strDBName.c_str(), Utf8ToCp949(sql).c_str(), &err);
  if (r > 0) return 1;
  ShowDBError(err);
  return 0;
}

int CTellomarEnv::QueryWith(bool bulk, long query_id, std::string_view sql, long* rows) {
  RDB_ERROR err{};
  std::int32_t n = 0;
  std::string text = Utf8ToCp949(sql);
  auto id = static_cast<std::int32_t>(query_id);
  int r = bulk ? ::RDBBulkQueryRecord(m_hRDB, m_strDBName.c_str(), id, text.c_str(), &n, &err)
               : ::RDBQueryRecord(m_hRDB, m_strDBName.c_str(), id, text.c_str(), &n, &err);
  if (rows) *rows = n;
  if (r > 0) return 1;
  ShowDBError(err);
  return 0;
}

int CTellomarEnv::QueryRecord(long query_id, std::string_view sql, long* rows) {
  return QueryWith(false, query_id, sql, rows);
}

int CTellomarEnv::BulkQueryRecord(long query_id, std::string_view sql, long* rows) {
  return QueryWith(true, query_id, sql, rows);
}

namespace {

void ToDBError(const RDB_ERROR& from, CDBError* to) {
  if (!to) return;
  std::string_view raw(from.szMessage, sizeof from.szMessage);
  to->code = from.nCode;
  to->message = Cp949ToUtf8(raw.substr(0, raw.find('\0')));
}

}  // namespace

int CTellomarEnv::RDBBulkExecuteSQL(const CSQLBatch& batch, long* executed, CDBError* error) {
  RDB_ERROR err{};
  std::int32_t n = 0;
  int r = ::RDBBulkExecuteSQL(m_hRDB, m_strDBName.c_str(), batch.GetCount(), Utf8ToCp949(batch.GetText()).c_str(),
                              &n, &err);
  if (executed) *executed = n;
  ToDBError(err, error);
  return r;
}

int CTellomarEnv::RDBQueryRecord(long query_id, std::string_view sql, long* rows, CDBError* error, bool bulk) {
  RDB_ERROR err{};
  std::int32_t n = 0;
  std::string text = Utf8ToCp949(sql);
  auto id = static_cast<std::int32_t>(query_id);
  int r = bulk ? ::RDBBulkQueryRecord(m_hRDB, m_strDBName.c_str(), id, text.c_str(), &n, &err)
               : ::RDBQueryRecord(m_hRDB, m_strDBName.c_str(), id, text.c_str(), &n, &err);
  if (rows) *rows = n;
  ToDBError(err, error);
  return r;
}

namespace {

struct FirstRow {
  int result = 0;  // the library's result
  RDB_ERROR error{};
  std::string record;  // UTF-8
};

FirstRow QueryFirst(RDB_HANDLE h, const std::string& db, std::string_view sql) {
  FirstRow out;
  char buffer[kFirstRecordBufferSize] = {};
  out.result = ::RDBQueryFirstRecord(h, db.c_str(), Utf8ToCp949(sql).c_str(), buffer, &out.error);
  buffer[sizeof buffer - 1] = '\0';
  out.record = Cp949ToUtf8(buffer);
  return out;
}

constexpr std::int32_t kRowPresent = 0;
constexpr std::int32_t kNoRow = 1;

}  // namespace

int CTellomarEnv::GetFirstRecord(std::string& value, std::string_view sql, bool no_data_message) {
  FirstRow row = QueryFirst(m_hRDB, m_strDBName, sql);
  if (row.result <= 0) {
    ShowDBError(row.error);
    return -1;
  }
  if (row.error.nCode == kNoRow) {
    if (no_data_message) ShowErrorText(kNoDataText);
    return 0;
  }
  if (row.error.nCode != kRowPresent) {
    ShowDBError(row.error);
    return -1;
  }
  CRDBRecord record;
  record.Parse(row.record);
  value = std::string(record.Field(0));
  return 1;
}

int CTellomarEnv::GetFirstRecord(std::vector<std::string>& fields, std::string_view sql, bool no_data_message) {
  fields.clear();
  FirstRow row = QueryFirst(m_hRDB, m_strDBName, sql);
  if (row.result <= 0) {
    ShowDBError(row.error);
    return 0;
  }
  if (row.error.nCode == kNoRow) {
    if (no_data_message) ShowErrorText(kNoDataText);
    return 0;
  }
  CRDBRecord record;
  record.Parse(row.record);
  for (int i = 0; i < record.GetCount(); ++i) fields.emplace_back(record.Field(i));
  return 1;
}

int CTellomarEnv::RDBQueryFirstRecord(std::string& record, std::string_view sql) {
  FirstRow row = QueryFirst(m_hRDB, m_strDBName, sql);
  if (row.result <= 0) {
    ShowDBError(row.error);
    return -1;
  }
  record = std::move(row.record);
  return row.error.nCode == kNoRow ? 0 : 1;
}

int CTellomarEnv::RDBQueryExistData(std::string_view sql) {
  DebugLog("%s", DebugQueryExistData(sql).c_str());
  std::string record;
  return RDBQueryFirstRecord(record, sql);
}

int CTellomarEnv::PDSGetCodeList(std::string_view sql) {
  m_CodeList.Clear();
  RecordHandler previous = SetRecordHandler([this](std::int32_t query_id, std::int32_t, std::string_view text) {
    if (query_id != kCodeListQueryId) return 1;
    CRDBRecord record;
    record.Parse(text);
    m_CodeList.AppendRow(record);
    return 1;
  });
  DebugLog("%s", DebugCodeList(sql).c_str());
  long rows = 0;
  int r = QueryRecord(kCodeListQueryId, sql, &rows);
  SetRecordHandler(std::move(previous));
  return r == 1 ? 1 : 0;
}

// Record handlers.

CTellomarEnv::RecordHandler CTellomarEnv::SetRecordHandler(RecordHandler handler) {
  auto next = handler ? std::make_shared<const RecordHandler>(std::move(handler)) : nullptr;
  std::shared_ptr<const RecordHandler> old;
  {
    std::lock_guard<std::mutex> lock(g_handler_mu);
    old = std::move(g_handler);
    g_handler = next;
  }
  // Without a handler libQuerion falls back on its own, which reports that
  // no handler was installed.
  RDBSetEventCallBackFN(next ? &RecordTrampoline : nullptr);
  return old ? *old : RecordHandler{};
}

int CTellomarEnv::DefaultRecordHandler(std::int32_t, std::int32_t, std::string_view record) {
  CRDBRecord r;
  r.Parse(record);
  std::string line = DefaultRecordText(r) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
  return 1;
}

void CTellomarEnv::InstallDefaultRecordHandler() {
  g_hook_env.store(this);
  RDBSetMessageHook(&MessageHookTrampoline);
  SetRecordHandler(&CTellomarEnv::DefaultRecordHandler);
}

// Lookups.

int CTellomarEnv::GetUseResearch() {
  std::string value;
  return GetFirstRecord(value, StmtGetUseResearch(m_strUserID), false);
}

int CTellomarEnv::GetUseIPT() {
  std::vector<std::string> fields;
  if (GetFirstRecord(fields, StmtGetUseIPT(), false) != 1 || fields.size() < 2) return 0;
  m_nIPTCode = static_cast<int>(FieldNumber(fields[0]));
  m_strIPTName = fields[1];
  return 1;
}

int CTellomarEnv::GetDispConfTime(long service_id) {
  std::string value;
  int r = GetFirstRecord(value, StmtGetDispConfTime(service_id, m_strUserID), false);
  if (r < 0) return -1;
  if (service_id == kAllServicesCode) return DispConfTimeForAll(r == 1 ? FieldNumber(value) : 0);
  return r == 1 ? static_cast<int>(FieldNumber(value)) : 0;
}

int CTellomarEnv::GetRstDispDay(long service_id) {
  std::string value;
  int r = GetFirstRecord(value, StmtGetRstDispDay(service_id, m_strUserID), false);
  if (r < 0) return -1;
  return r == 1 ? static_cast<int>(FieldNumber(value)) : 0;
}

int CTellomarEnv::GetDeleteOldDataDays() {
  std::string value;
  if (GetFirstRecord(value, StmtGetDeleteOldDataDays(), false) == 1) {
    m_nDeleteOldDataDays = static_cast<int>(FieldNumber(value));
    return 1;
  }
  m_nDeleteOldDataDays = kDefaultDeleteOldDataDays;
  return 0;
}

int CTellomarEnv::GetMinNoanswerWaitTime() {
  std::string value;
  if (GetFirstRecord(value, StmtGetMinNoanswerWaitTime(), false) == 1) {
    m_nMinNoanswerWaitTime = static_cast<int>(FieldNumber(value));
    return 1;
  }
  m_nMinNoanswerWaitTime = kDefaultMinNoanswerWaitTime;
  return 0;
}

int CTellomarEnv::GetUseChgCallbackNo(long service_id) {
  std::string value;
  int r = GetFirstRecord(value, StmtGetUseChgCallbackNo(service_id), false);
  if (r < 0) return -1;
  return r == 1 ? static_cast<int>(FieldNumber(value)) : 0;
}

int CTellomarEnv::GetUseDenyNospam(long service_id) {
  std::string value;
  int r = GetFirstRecord(value, StmtGetUseDenyNospam(service_id), false);
  if (r < 0) return -1;
  return r == 1 ? static_cast<int>(FieldNumber(value)) : 0;
}

int CTellomarEnv::GetServerDate(CDateTime& out) {
  std::string value;
  if (GetFirstRecord(value, StmtGetServerDate(), false) != 1) return -1;
  return SetFromServerDate(value, out) ? 1 : -1;
}

// Utilities.

void CTellomarEnv::StripNonDigits(std::string& text) { ::StripNonDigits(text); }

std::string CTellomarEnv::GetDigits(std::string_view text) { return ::GetDigits(text); }

int CTellomarEnv::FormatTelNo(std::string& text) { return ::FormatTelNo(text); }

bool CTellomarEnv::FileExists(std::string_view path) { return platform::FileExists(path); }

std::string CTellomarEnv::GetComboText(const ui::ComboBox& combo) {
  int sel = combo.CurSel();
  return sel < 0 ? std::string() : combo.ItemText(sel);
}

std::string CTellomarEnv::GetComboCode(const ui::ComboBox& combo) { return ::GetCode(GetComboText(combo)); }

std::string CTellomarEnv::GetCode(std::string_view code_and_name) { return ::GetCode(code_and_name); }

int CTellomarEnv::ShowMessage(ui::Window* owner, std::string_view text, std::string_view caption, unsigned type) {
  if (owner) return owner->app().MessageBox(owner, text, caption, type);
  if (app_) return app_->MessageBox(nullptr, text, caption, type);
  std::string line = std::string(caption) + ": " + std::string(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return UnseenAnswer(type);
}

int CTellomarEnv::MsgInfo(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  return ShowMessage(nullptr, text, kInfoCaption, ui::MB_OK | ui::MB_ICONINFORMATION);
}

int CTellomarEnv::MsgInfo(ui::Window* owner, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  return ShowMessage(owner, text, kInfoCaption, ui::MB_OK | ui::MB_ICONINFORMATION);
}

int CTellomarEnv::MsgError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  return ShowMessage(nullptr, text, kErrorCaption, ui::MB_OK | ui::MB_ICONERROR);
}

int CTellomarEnv::MsgError(ui::Window* owner, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  return ShowMessage(owner, text, kErrorCaption, ui::MB_OK | ui::MB_ICONERROR);
}

int CTellomarEnv::MsgBox(ui::Window* owner, const char* caption, unsigned type, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  return ShowMessage(owner, text, caption ? caption : "", type);
}
