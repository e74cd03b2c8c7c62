// The wire form of the remote database interface (querion.idl), shared by
// the client library and the reference service so that both marshal each
// procedure the same way.
//
//   opnum  request stub                              response stub
//   0      -                                         small
//   1, 4   string db, string sql                     RDB_ERROR, small
//   2      string db, long count, string batch       long executed, RDB_ERROR, small
//   3      string db, string sql                     long code, small
//   5      string t1, t2, t3, t4                     RDB_ERROR, small
//   6, 10  string db, long query id, string sql      long rows, RDB_ERROR, small
//   7      string db, long id, long second, string   long rows, RDB_ERROR, small
//   8      string db, string sql                     char[4096], RDB_ERROR, small
//   9      string db, long value, string sql         char[4096], RDB_ERROR, small
//   callback 0: long id, long second, string record            -> long
//   callback 1: long id, long second, long count, string text  -> long
// RDB_ERROR is long nCode followed by char[1001] (aligned 4).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rpc/ndr.h"
#include "rpc/uuid.h"

namespace rdb {

const rpc::SyntaxId& Interface();

enum Op : uint16_t {
  kIsReady = 0,
  kExecuteSQL = 1,
  kBulkExecuteSQL = 2,
  kExecuteSQLWan = 3,
  kExecuteSQLEx = 4,
  kExecuteSQLQueue = 5,
  kQueryRecord = 6,
  kQueryRecordEx = 7,
  kQueryFirstRecord = 8,
  kQueryFirstRecordEx = 9,
  kBulkQueryRecord = 10,
  kReserved = 11,
};
enum CallbackOp : uint16_t { kRecordCallback = 0, kBulkRecordCallback = 1 };

constexpr std::size_t kMessageSize = 1001;
constexpr std::size_t kFirstRecordSize = 4096;
inline constexpr char kFieldEnd[] = ":;";
inline constexpr char kRecordEnd[] = "~$#^@*";

// The parameters of one request, whichever procedure it is for.
struct Request {
  std::string db;          // texts[0] for opnum 5
  std::vector<std::string> texts;  // the statement (or the four texts of opnum 5)
  int32_t id = 0;          // query id, count or value
  int32_t second = 0;      // opnum 7
};

struct Reply {
  int8_t result = 0;
  int32_t code = 0;
  std::string message;     // at most 1000 bytes travel
  int32_t value = 0;       // executed / rows / code of opnum 3
  std::string record;      // opnums 8 and 9, at most 4095 bytes travel
};

std::vector<uint8_t> EncodeRequest(Op op, const Request& r);
Request DecodeRequest(Op op, rpc::NdrReader& in);  // throws rpc::NdrError
std::vector<uint8_t> EncodeReply(Op op, const Reply& r);
Reply DecodeReply(Op op, const std::vector<uint8_t>& stub);  // throws rpc::NdrError

// Cuts a code-page-949 text to at most n bytes without splitting a
// double-byte character.
std::string CutCp949(const std::string& s, std::size_t n);

}  // namespace rdb
