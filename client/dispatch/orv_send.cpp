#include "client/dispatch/orv_send.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <sstream>

#include "client/app/rdb_record.h"
#include "client/app/sql_text.h"
#include "client/app/text_util.h"
#include "client/dispatch/import.h"
#include "client/dispatch/send.h"
#include "platform/codepage.h"

namespace dispatch {

namespace {

constexpr const char* kUsage =
    "usage: orv-send [-s ADDRESS[:PORT]] -u LOGIN -p PASSWORD --service ID [--title T] [--callback NO]\n"
    "                [--deny-ministry] [--deny-user] [--keep-duplicates] [--add-zero]\n"
    "                [--sheet NAME --phone COL --info1 COL ... --info4 COL --skip-first-row] [--dry-run] FILE\n";
constexpr const char* kDatabase = "NEW_ORV";
constexpr const char* kDefaultPort = "8907";

struct Args {
  std::string address = "127.0.0.1", port = kDefaultPort, user, password, service, title, callback, file;
  bool has_title = false, has_callback = false;
  bool deny_ministry = false, deny_user = false, keep_duplicates = false, add_zero = false, dry_run = false;
  WorkbookSelection sheet;
  bool has_sheet = false;
};

bool Parse(const std::vector<std::string>& v, Args& a, std::string& error) {
  for (std::size_t i = 0; i < v.size(); ++i) {
    const std::string& o = v[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= v.size()) {
        error = "option " + o + " needs a value";
        return false;
      }
      into = v[++i];
      return true;
    };
    bool ok = true;
    if (o == "-s") {
      std::string s;
      ok = value(s);
      const std::size_t colon = s.rfind(':');
      a.address = colon == std::string::npos ? s : s.substr(0, colon);
      if (colon != std::string::npos) a.port = s.substr(colon + 1);
    } else if (o == "-u") ok = value(a.user);
    else if (o == "-p") ok = value(a.password);
    else if (o == "--service") ok = value(a.service);
    else if (o == "--title") ok = (a.has_title = true, value(a.title));
    else if (o == "--callback") ok = (a.has_callback = true, value(a.callback));
    else if (o == "--deny-ministry") a.deny_ministry = true;
    else if (o == "--deny-user") a.deny_user = true;
    else if (o == "--keep-duplicates") a.keep_duplicates = true;
    else if (o == "--add-zero") a.add_zero = true;
    else if (o == "--dry-run") a.dry_run = true;
    else if (o == "--skip-first-row") a.sheet.skip_first_row = true;
    else if (o == "--sheet") ok = (a.has_sheet = true, value(a.sheet.sheet));
    else if (o == "--phone") ok = value(a.sheet.phone_column);
    else if (o.size() == 7 && o.compare(0, 6, "--info") == 0 && o[6] >= '1' && o[6] <= '4')
      ok = value(a.sheet.info_columns[o[6] - '1']);
    else if (!o.empty() && o[0] == '-') {
      error = "unknown option " + o;
      return false;
    } else if (a.file.empty()) a.file = o;
    else {
      error = "more than one FILE";
      return false;
    }
    if (!ok) return false;
  }
  if (a.file.empty()) error = "FILE is missing";
  else if (a.user.empty()) error = "-u LOGIN is missing";
  else if (a.service.empty()) error = "--service ID is missing";
  return error.empty();
}

bool EndsWithNoCase(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - tail.size() + i])) != tail[i]) return false;
  return true;
}

// The first row of a query split into fields; false when none came.
bool FirstRow(RDB_HANDLE h, const std::string& sql, CRDBRecord& rec, std::string& error) {
  RDB_ERROR e{};
  std::string buf(4096, '\0');
  const int r = RDBQueryFirstRecord(h, kDatabase, platform::Utf8ToCp949(sql).c_str(), buf.data(), &e);
  if (r < 1 || e.nCode != 0) {
    error = r < 1 || e.nCode != 1 ? "(" + std::to_string(e.nCode) + ") " + platform::Cp949ToUtf8(e.szMessage)
                                  : "no row";
    return false;
  }
  buf.resize(std::char_traits<char>::length(buf.c_str()));
  rec.Parse(platform::Cp949ToUtf8(buf));
  return true;
}

void LocalNow(std::string& date, std::string& time) {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char d[16], h[16];
  std::strftime(d, sizeof d, "%Y%m%d", &tm);
  std::strftime(h, sizeof h, "%H%M%S", &tm);
  date = d;
  time = h;
}

// The arguments that shape the rows and their requests, and the input's size.
std::string SendKey(const Args& a) {
  std::ostringstream k;
  std::error_code ec;
  k << a.address << '|' << a.port << '|' << a.user << '|' << a.service << '|' << a.has_title << a.title << '|'
    << a.has_callback << a.callback << '|' << a.deny_ministry << a.deny_user << a.keep_duplicates << a.add_zero
    << '|' << a.sheet.sheet << '|' << a.sheet.phone_column;
  for (const auto& c : a.sheet.info_columns) k << '|' << c;
  k << '|' << a.sheet.skip_first_row << '|' << std::filesystem::file_size(a.file, ec);
  std::string s = k.str();
  for (char& c : s)
    if (c == '\n') c = ' ';
  return s;
}

struct State {
  std::string key, reg_date, reg_time, title;
};

bool LoadState(const std::string& path, State& s) {
  std::ifstream in(path);
  return in && std::getline(in, s.key) && std::getline(in, s.reg_date) && std::getline(in, s.reg_time) &&
         std::getline(in, s.title);
}

bool SaveState(const std::string& path, const State& s) {
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::trunc);
    out << s.key << '\n' << s.reg_date << '\n' << s.reg_time << '\n' << s.title << '\n';
    out.flush();
    if (!out) return false;
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  return !ec;
}

}  // namespace

std::string SheetName(const std::string& name) {
  return !name.empty() && name.back() == '$' ? name : name + "$";
}

std::string ColumnName(const std::string& c) {
  if (c.size() == 1 && std::isalpha(static_cast<unsigned char>(c[0])))
    return "F" + std::to_string(std::toupper(static_cast<unsigned char>(c[0])) - 'A' + 1);
  if (!c.empty() && c.find_first_not_of("0123456789") == std::string::npos) return "F" + c;
  if (c.size() > 1 && (c[0] == 'f' || c[0] == 'F') && c.find_first_not_of("0123456789", 1) == std::string::npos)
    return "F" + c.substr(1);
  return c;
}

int RunOrvSend(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
               const std::atomic<bool>* stop) {
  Args a;
  std::string error;
  if (!Parse(argv, a, error)) {
    err << "orv-send: " << error << "\n" << kUsage;
    return kExitUsage;
  }
  if (a.service.find_first_not_of("0123456789") != std::string::npos || a.service.size() > 18) {
    err << "orv-send: --service must be the service's number\n";
    return kExitUsage;
  }

  // Import, answering the questions by options.
  SendList list;
  ImportOptions io;
  io.exclude_duplicates = !a.keep_duplicates;
  ImportCallbacks cb;
  cb.ask_once = [&err](const std::string& m) {
    err << m.substr(0, m.find('\n')) << "\n";
    return AskOnceAnswer{true, false};
  };
  cb.ask_add_zero = [&a](const std::string&) { return a.add_zero; };
  CallTargetImporter importer(list, io, cb);
  const bool workbook = EndsWithNoCase(a.file, ".xls") || EndsWithNoCase(a.file, ".xlsx");
  ImportResult ir;
  if (workbook) {
    if (!a.has_sheet) {
      err << "orv-send: a workbook needs --sheet NAME\n";
      return kExitUsage;
    }
    WorkbookSelection s = a.sheet;
    s.sheet = SheetName(s.sheet);
    s.phone_column = ColumnName(s.phone_column.empty() ? "F1" : s.phone_column);
    for (auto& c : s.info_columns)
      if (!c.empty()) c = ColumnName(c);
    ir = importer.ImportExcelFile(a.file, s);
  } else {
    ir = importer.ImportTextFile(a.file);
  }
  if (!ir.completed) {
    err << "orv-send: " << ir.message << "\n";
    return kExitUsage;
  }
  const ImportCounts& c = ir.counts;
  auto final_line = [&](long sent, long dropped) {
    // With --dry-run standard output holds only the rows.
    std::ostream& to = a.dry_run ? err : out;
    to << "read=" << c.read << " imported=" << c.imported << " duplicates=" << c.duplicates
        << " ignored=" << c.ignored << " sent=" << sent << " dropped=" << dropped << "\n";
  };
  if (a.dry_run) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      for (int col = 0; col < kSendColumns; ++col) out << (col ? "\t" : "") << list.Get(i, col);
      out << "\n";
    }
    final_line(0, 0);
    return kExitOk;
  }

  // Log in as the login dialog does: the customer's row, then its password.
  const RDB_HANDLE h = RDBServerOpen(a.address.c_str(), a.port.c_str());
  CRDBRecord rec;
  if (!h || !FirstRow(h,
                      "select USER_ID, USER_NM, '' as AGENT_NM, PASSWORD from USER_INFO where USER_ID = '" +
                          SqlText(a.user) + "' collate Korean_Wansung_BIN ",
                      rec, error)) {
    err << "orv-send: login failed: " << (h ? error : "no binding to " + a.address) << "\n";
    return kExitLogin;
  }
  if (rec.Field(3) != a.password) {
    err << "orv-send: login failed: wrong password\n";
    return kExitLogin;
  }
  if (!FirstRow(h, "select DEF_CALLER_ID, SVC_TYPE  from SERVICE_INFO v with(nolock) where v.SVC_ID = " + a.service +
                       " and v.USER_ID = '" + SqlText(a.user) + "' ",
                rec, error)) {
    err << "orv-send: 지정된 서비스 정보를 가져 올수 없습니다. (" << error << ")\n";
    return kExitLogin;
  }

  // The send's parameters: reused from the state file when resuming.
  const std::string state_path = a.file + ".orv-send";
  State st;
  const std::string key = SendKey(a);
  if (!LoadState(state_path, st) || st.key != key) {
    st = State{};
    st.key = key;
    LocalNow(st.reg_date, st.reg_time);
    if (a.has_title && !a.title.empty()) {
      st.title = a.title;
    } else {
      const std::string type(rec.Field(1));
      const char* prefix = type == "0" ? "음성전송_" : type == "4" ? "설문조사_" : "제목없음_";
      st.title = prefix + st.reg_date + "_" + st.reg_time;
    }
  } else {
    err << "orv-send: resuming the send of " << st.reg_date << " " << st.reg_time << "\n";
  }
  SendParams p;
  p.user_id = a.user;
  p.service_id = a.service;
  p.title = st.title;
  p.callback = GetDigits(a.has_callback ? a.callback : std::string(rec.Field(0)));
  p.reg_date = st.reg_date;
  p.reg_time = st.reg_time;
  p.ministry_flag = a.deny_ministry ? 1 : 0;
  p.user_flag = a.deny_user ? 1 : 0;
  if (std::string bad = CheckSendParams(p); !bad.empty()) {
    err << "orv-send: " << bad << "\n";
    return kExitUsage;
  }
  if (!SaveState(state_path, st)) {
    err << "orv-send: cannot write " << state_path << "\n";
    return kExitUsage;
  }

  QuerionSendTarget target(h, kDatabase);
  const long total = static_cast<long>(list.size());
  SendCallbacks scb;
  scb.batch_done = [&](long removed) {
    err << FormatMessage(kSendingStatus, {std::to_string(total), std::to_string(removed)}) << "\n";
  };
  const SendOutcome o = RunSend(list, p, target, stop, scb, total);
  const long finished = total - static_cast<long>(list.size());
  const long sent = o.counted ? o.stored : o.removed;
  const long dropped = o.counted ? std::max(0L, finished - o.stored) : 0;
  if (o.failed || o.stopped) {
    err << "orv-send: " << (o.failed ? "send failed: " + o.error : std::string("send stopped")) << "\n"
        << "orv-send: " << list.size() << " rows not sent; run again with the same arguments to resume\n";
    final_line(sent, dropped);
    return kExitInterrupted;
  }
  std::error_code ec;
  std::filesystem::remove(state_path, ec);
  err << o.summary << "\n";
  final_line(sent, dropped);
  return kExitOk;
}

}  // namespace dispatch
