#include "dbclient/rdb_protocol.h"

namespace rdb {

const rpc::SyntaxId& Interface() {
  static const rpc::SyntaxId id{*rpc::Uuid::Parse("b08f120f-ce71-45ad-8c70-89bd0134f5e8"), 1, 0};
  return id;
}

std::string CutCp949(const std::string& s, std::size_t n) {
  if (s.size() <= n) return s;
  std::size_t i = 0;
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t w = (c >= 0x81 && c <= 0xFE) ? 2 : 1;
    if (i + w > n) break;
    i += w;
  }
  return s.substr(0, i);
}

std::vector<uint8_t> EncodeRequest(Op op, const Request& r) {
  rpc::NdrWriter w;
  auto text = [&](std::size_t i) { w.String(i < r.texts.size() ? r.texts[i] : std::string()); };
  switch (op) {
    case kIsReady:
    case kReserved:
      break;
    case kExecuteSQL:
    case kExecuteSQLEx:
    case kExecuteSQLWan:
    case kQueryFirstRecord:
      w.String(r.db);
      text(0);
      break;
    case kBulkExecuteSQL:
    case kQueryRecord:
    case kBulkQueryRecord:
    case kQueryFirstRecordEx:
      w.String(r.db);
      w.SLong(r.id);
      text(0);
      break;
    case kExecuteSQLQueue:
      for (std::size_t i = 0; i < 4; ++i) text(i);
      break;
    case kQueryRecordEx:
      w.String(r.db);
      w.SLong(r.id);
      w.SLong(r.second);
      text(0);
      break;
  }
  return w.Take();
}

Request DecodeRequest(Op op, rpc::NdrReader& in) {
  Request r;
  switch (op) {
    case kIsReady:
    case kReserved:
      break;
    case kExecuteSQL:
    case kExecuteSQLEx:
    case kExecuteSQLWan:
    case kQueryFirstRecord:
      r.db = in.String();
      r.texts.push_back(in.String());
      break;
    case kBulkExecuteSQL:
    case kQueryRecord:
    case kBulkQueryRecord:
    case kQueryFirstRecordEx:
      r.db = in.String();
      r.id = in.SLong();
      r.texts.push_back(in.String());
      break;
    case kExecuteSQLQueue:
      for (int i = 0; i < 4; ++i) r.texts.push_back(in.String());
      break;
    case kQueryRecordEx:
      r.db = in.String();
      r.id = in.SLong();
      r.second = in.SLong();
      r.texts.push_back(in.String());
      break;
  }
  in.ExpectEnd();
  return r;
}

namespace {

void PutError(rpc::NdrWriter& w, const Reply& r) {
  w.SLong(r.code);
  w.FixedChars(CutCp949(r.message, kMessageSize - 1), kMessageSize);
}

void GetError(rpc::NdrReader& in, Reply* r) {
  r->code = in.SLong();
  r->message = in.FixedChars(kMessageSize);
}

}  // namespace

std::vector<uint8_t> EncodeReply(Op op, const Reply& r) {
  rpc::NdrWriter w;
  switch (op) {
    case kIsReady:
      break;
    case kReserved:
      return w.Take();
    case kExecuteSQL:
    case kExecuteSQLEx:
    case kExecuteSQLQueue:
      PutError(w, r);
      break;
    case kExecuteSQLWan:
      w.SLong(r.code);
      break;
    case kBulkExecuteSQL:
    case kQueryRecord:
    case kQueryRecordEx:
    case kBulkQueryRecord:
      w.SLong(r.value);
      PutError(w, r);
      break;
    case kQueryFirstRecord:
    case kQueryFirstRecordEx:
      w.FixedChars(CutCp949(r.record, kFirstRecordSize - 1), kFirstRecordSize);
      w.Align(4);
      PutError(w, r);
      break;
  }
  w.Small(r.result);
  return w.Take();
}

Reply DecodeReply(Op op, const std::vector<uint8_t>& stub) {
  rpc::NdrReader in(stub);
  Reply r;
  switch (op) {
    case kIsReady:
      break;
    case kReserved:
      return r;
    case kExecuteSQL:
    case kExecuteSQLEx:
    case kExecuteSQLQueue:
      GetError(in, &r);
      break;
    case kExecuteSQLWan:
      r.code = in.SLong();
      break;
    case kBulkExecuteSQL:
    case kQueryRecord:
    case kQueryRecordEx:
    case kBulkQueryRecord:
      r.value = in.SLong();
      GetError(in, &r);
      break;
    case kQueryFirstRecord:
    case kQueryFirstRecordEx:
      r.record = in.FixedChars(kFirstRecordSize);
      in.Align(4);
      GetError(in, &r);
      break;
  }
  r.result = in.Small();
  in.ExpectEnd();
  return r;
}

}  // namespace rdb
