// The remote database interface served on an SQL engine: decodes each
// procedure's stub, runs the statement on the connection's engine, delivers
// query rows through the client's record callbacks and encodes the reply.
//
// Service choices the client leaves to the server:
//   - nCode: 0 success or row present, 1 no row (first-record calls), other
//     values the engine's error codes (see provider/sql/engine.h).
//   - The database name is not checked: every name reaches the one database.
//   - RDBQueryRecord (6) and RDBBulkQueryRecord (10) deliver rows through
//     callback 1 in batches of up to kDefaultBatchBytes text or
//     kDefaultBatchRows records; the second long is the batch's number,
//     counting from 0. RDBQueryRecordEx (7) delivers one record per callback 0
//     with the caller's second value. A handler answer of 0 ends the delivery;
//     the call still succeeds with the rows delivered so far.
//   - RDBQueryFirstRecordEx (9): the long is ignored; the call is the same as 8.
//   - RDBExecuteSQLQueue (5): text 1 is the database, text 2 the statement;
//     texts 3 and 4 are ignored.
//   - RDBBulkExecuteSQL (2): the long out is the number of statements that
//     succeeded, in order; on a failure the statements before it stay done.
//   - SQL NULL is written as an empty text.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "rpc/server.h"

namespace provider {

class Engine;

struct DbServiceOptions {
  std::string db_path;  // the database file (":memory:" gives each connection its own)
  static constexpr std::size_t kDefaultBatchBytes = 60000;
  static constexpr int kDefaultBatchRows = 5000;
  std::size_t batch_bytes = kDefaultBatchBytes;
  int batch_rows = kDefaultBatchRows;
  // Runs on every new engine (one per connection): registers procedures,
  // functions and the like.
  std::function<void(Engine&)> configure;
};

// Registers the database interface on the server. The service object must
// outlive the server's use of it.
class DbService {
 public:
  explicit DbService(DbServiceOptions options) : options_(std::move(options)) {}
  void RegisterOn(rpc::Server& server);

 private:
  DbServiceOptions options_;
};

}  // namespace provider
