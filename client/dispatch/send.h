// Sending the send list as call requests: one P_INSERT_REQ_ORV call per
// row, packed into statement batches, each batch one bulk execution; the
// rows the service reports executed leave the list batch by batch.
//
// Exactly once: every row of one send carries the same registration date
// and time (and title), and the service does not register a number that
// the same send (service, title, registration date and time) registered
// already. A send interrupted after the service executed a batch whose
// answer was lost leaves those rows in the list; sending again with the
// same SendParams resends them and the service skips them. So a resumed
// send must reuse its SendParams: SendSession keeps them, and the
// command-line tool stores them in a state file.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "client/app/sql_batch.h"
#include "client/dispatch/send_list.h"
#include "dbclient/querion.h"

namespace dispatch {

inline constexpr const char* kSendErrorMessage =
    "                 서버로 전송중 오류 발생\r\n일시적인 인터넷 장애일수 있으니 잠시 후 다시 전송(서버로 전송) "
    "하십시오.\r\n다시 전송할 경우 \"가져오기\"를 하지 마시고 \"서버로 전송\" 버튼을 누르십시오.\r\n 다시 "
    "\"가져오기\"를 할 경우 중복하여 전송될 수 있습니다.";
inline constexpr const char* kSendingStatus = "%d 건중 %d 건 전송중...";
inline constexpr const char* kSendSummary = "%ld 건 전송 완료 / %ld 건 수신 거부 또는 통보완료...";

// What every request row of one send carries besides the list columns.
struct SendParams {
  std::string user_id;
  std::string service_id;  // digits only (it goes into the statement unquoted)
  std::string title;
  std::string callback;    // digits
  std::string reg_date;    // YYYYMMDD, once per send
  std::string reg_time;    // HHMMSS, once per send
  int ministry_flag = 0;   // exclude numbers on the ministry's deny list
  int user_flag = 0;       // exclude numbers on the user's deny list
};

// Empty when the parameters can go into statements; else why not.
std::string CheckSendParams(const SendParams& p);

// The statement for one list row (typed values with apostrophes doubled).
std::string BuildReqOrvStatement(const SendParams& p, const TargetList& list, std::size_t row);

// The count query of the rows the service registered for the send.
std::string CountSentQuery(const SendParams& p);

// Where the batches go: the session environment or libQuerion directly.
class SendTarget {
 public:
  virtual ~SendTarget() = default;
  // RDBBulkExecuteSQL's result (>= 1 success); *executed the statements the
  // service reports executed; *error the error text on failure.
  virtual int BulkExecute(const CSQLBatch& batch, std::int32_t* executed, std::string* error) = 0;
  // The first field of the first row of a query; false when none came.
  virtual bool QueryFirstValue(const std::string& sql, std::string* value) = 0;
};

// libQuerion on a binding handle (texts converted to code page 949).
class QuerionSendTarget : public SendTarget {
 public:
  QuerionSendTarget(RDB_HANDLE handle, std::string database) : handle_(handle), database_(std::move(database)) {}
  int BulkExecute(const CSQLBatch& batch, std::int32_t* executed, std::string* error) override;
  bool QueryFirstValue(const std::string& sql, std::string* value) override;

 private:
  RDB_HANDLE handle_;
  std::string database_;
};

struct SendOutcome {
  bool failed = false;     // a batch failed; the unsent rows stay in the list
  bool stopped = false;    // the stop flag ended the loop
  long processed = 0;      // rows handled by this run (spec'd "processed")
  long removed = 0;        // rows removed from the list by this run
  long stored = 0;         // REQ_ORV rows of the whole send, counted at the end
  bool counted = false;    // the count query answered
  std::string error;       // text of the failure
  std::string summary;     // kSendSummary filled (when not failed in the middle)
};

struct SendCallbacks {
  // (processed + 1, total) before each row; called per row, keep it cheap.
  std::function<void(long current, long total)> progress;
  // After each executed batch, the rows removed so far in this run.
  std::function<void(long removed)> batch_done;
};

// Sends the list. `rows_in_send` is the number of rows the send began with
// (the list's size at its first run), so that a resumed send reports the
// whole send: sent = stored, dropped = rows_in_send - list size - stored.
SendOutcome RunSend(TargetList& list, const SendParams& params, SendTarget& target,
                    const std::atomic<bool>* stop = nullptr, const SendCallbacks& callbacks = {},
                    long rows_in_send = -1);

// One send with its resume: keeps the parameters, the registration date and
// time and the row count between presses of send.
class SendSession {
 public:
  // Starts a new send when none is pending (rows_in_send = list size).
  void Begin(const SendParams& params, std::size_t list_rows);
  bool pending() const { return pending_; }
  const SendParams& params() const { return params_; }
  long rows_in_send() const { return rows_in_send_; }
  // Runs (or resumes) the send; a send that ends without failure is done.
  SendOutcome Run(TargetList& list, SendTarget& target, const std::atomic<bool>* stop = nullptr,
                  const SendCallbacks& callbacks = {});
  // Forgets the pending send (the list was imported again).
  void Reset() { pending_ = false; }

 private:
  SendParams params_;
  long rows_in_send_ = 0;
  bool pending_ = false;
};

}  // namespace dispatch
