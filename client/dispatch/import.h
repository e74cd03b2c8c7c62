// Import of call targets into the send list: text files (CSV or TXT in
// code page 949 or UTF-8), workbook sheets and pasted Excel cells. The
// screens and the command-line tool share this code; the questions the
// screens ask are callbacks, answered by the user or by options.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "client/dispatch/send_list.h"

namespace dispatch {

// Splits a text at a delimiter string, one token at a time.
class CStrTokenizer {
 public:
  explicit CStrTokenizer(std::string_view text) : rest_(text) {}
  // The text before the first delimiter (the rest is kept), or all that
  // remains when the delimiter does not occur. Adjacent delimiters yield an
  // empty token.
  std::string NextToken(std::string_view delimiter);
  bool IsEmpty() const { return rest_.empty(); }

 private:
  std::string rest_;
};

// The texts shown to the user.
namespace msg {
inline constexpr const char* kFileOpenFailed = "화일 열기 실패(%s)";
inline constexpr const char* kCounting = "데이터 건수를 계산하고 있습니다.(%ld건)";
inline constexpr const char* kTextStatus = "가져온 건수:%d건 중복건수:%d건";
inline constexpr const char* kTextSummary = "가져온 건수:%d건 중복건수:%d건\r\n";
inline constexpr const char* kExcelOpenError = "excel 파일 열기 오류(%s)";
inline constexpr const char* kExcelStatus = "가져온 건수:%d건, 무시된 건수:%d 중복건수:%d건";
inline constexpr const char* kExcelSummary = "읽은건수:%d, 가져온 건수:%d건, 무시된 건수:%d 중복건수:%d건\r\n";
inline constexpr const char* kPhoneLength =
    "전화번호 길이 오류(%s). 길이는 3 ~ 14자 이하여야 합니다.\n무시하고 계속 진행 하시겠습니까?";
inline constexpr const char* kInfoLength[4] = {
    "고객정보1 길이 오류(%s). 최대 길이는 영문 100자 이하여야 합니다.\n무시하고 계속 진행 하시겠습니까?",
    "고객정보2 길이 오류(%s). 최대 길이는 영문 50자 이하여야 합니다.\n무시하고 계속 진행 하시겠습니까?",
    "고객정보3 길이 오류(%s). 최대 길이는 영문 50자 이하여야 합니다.\n무시하고 계속 진행 하시겠습니까?",
    "고객정보4 길이 오류(%s). 최대 길이는 영문 50자 이하여야 합니다.\n무시하고 계속 진행 하시겠습니까?"};
inline constexpr const char* kPasteLength[4] = {
    "라인(%d) 고객정보1(%s)은 영문 100자 이내이어야 합니다.", "라인(%d) 고객정보2(%s)은 영문 50자 이내이어야 합니다.",
    "라인(%d) 고객정보3(%s)은 영문 50자 이내이어야 합니다.", "라인(%d) 고객정보4(%s)은 영문 50자 이내이어야 합니다."};
inline constexpr const char* kAddZero =
    "맨 앞자리 국번에 0 이 없는 데이터가 포함되어 있습니다.\r\n\r\n         강제로 0을 추가 하시겠습니까? ";
}  // namespace msg

// Byte limits (code page 949) of customer information 1 and of 2 to 4.
inline constexpr std::size_t kInfo1MaxBytes = 100;
inline constexpr std::size_t kInfoMaxBytes = 50;

// Answer to a question with a do-not-ask-again box.
struct AskOnceAnswer {
  bool yes = true;
  bool dont_ask_again = false;
};

// What the importer asks and reports while it runs. Unset callbacks: no
// field-check question is asked (the row is ignored and the run goes on),
// the leading-zero question is answered no, nothing is reported, no stop.
struct ImportCallbacks {
  // A failed field check of a workbook row: yes ignores the row and goes on.
  std::function<AskOnceAnswer(const std::string& message)> ask_once;
  // The leading-zero question (kAddZero): yes adds the 0.
  std::function<bool(const std::string& message)> ask_add_zero;
  std::function<void(const std::string& text)> status;
  std::function<void(int percent)> progress;
  // Polled once per record; true ends the run (which still completes).
  std::function<bool()> stop;
  // The error that ends a paste (a customer information over its limit),
  // shown as it happens, before the leading-zero question. Unset: the
  // result's message carries it ahead of the summary.
  std::function<void(const std::string& message)> error;
};

struct ImportOptions {
  bool exclude_duplicates = true;
  // A text line longer than this is an error (the file is not a list of
  // call targets); the default is far above any real line.
  static constexpr std::size_t kDefaultMaxLineBytes = 64 * 1024;
  std::size_t max_line_bytes = kDefaultMaxLineBytes;
};

struct ImportCounts {
  long read = 0;        // records read (workbook) or lines taken (text, paste)
  long imported = 0;    // rows appended
  long ignored = 0;     // failed checks (workbook) or unusable phone numbers
  long duplicates = 0;  // rows dropped as duplicates
};

struct ImportResult {
  bool completed = false;  // the run finished (also after a stop)
  bool stopped = false;
  ImportCounts counts;
  // The summary shown at the end (caption "확인"), or the error message
  // (caption "에러" for a file that cannot be opened, "알림" otherwise).
  std::string message;
  std::string caption;
};

// Workbook input: the sheet as the provider names it ("Sheet1$"), the
// column names (F1, F2, ... without header; header texts with one), empty
// info columns when not chosen.
struct WorkbookSelection {
  std::string sheet;
  std::string phone_column;
  std::string info_columns[4];
  bool skip_first_row = false;
};

// Text in code page 949 or UTF-8 (with or without a BOM), as UTF-8.
enum class TextEncoding { kUtf8, kUtf8Bom, kCp949 };
TextEncoding DetectEncoding(std::string_view bytes);
// "%s"/"%d"/"%ld" filled in order with the given texts.
std::string FormatMessage(std::string_view format, std::initializer_list<std::string> args);

class CallTargetImporter {
 public:
  CallTargetImporter(TargetList& list, ImportOptions options = {}, ImportCallbacks callbacks = {});

  ImportResult ImportTextFile(const std::string& path);
  // The same over file contents already read.
  ImportResult ImportTextBytes(std::string_view bytes);
  // The workbook sheet through CMyADOConn/CMyADORS.
  ImportResult ImportExcelFile(const std::string& path, const WorkbookSelection& selection);
  ImportResult ApplyPastedText(std::string_view text);
  // The leading-zero fix-up; true when it was asked for and applied.
  bool AddLeadingZero();

  const CompactStringSet& TelNos() const { return m_setTelNo; }

 private:
  bool Duplicate(const std::string& phone, ImportCounts& counts);
  void Append(std::string_view phone, const std::array<std::string_view, 4>& info);
  bool Stopped() const { return callbacks_.stop && callbacks_.stop(); }
  void Status(const std::string& s) const {
    if (callbacks_.status) callbacks_.status(s);
  }

  TargetList& list_;
  ImportOptions options_;
  ImportCallbacks callbacks_;
  CompactStringSet m_setTelNo;
  bool missing_zero_ = false;
};

// Connection string of a workbook read without header row, every cell as
// text: the ACE provider for ".xlsx" (any case), the Jet provider otherwise.
std::string WorkbookConnectionString(const std::string& path);
// The data query of a workbook import (placeholders for unchosen columns).
std::string WorkbookDataQuery(const WorkbookSelection& selection);

}  // namespace dispatch
