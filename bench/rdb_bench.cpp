// Figures for the remote database path, side by side with what the same
// work costs without it:
//   (a) RDBQueryFirstRecord "select 1" round trip   vs  a raw TCP ping-pong of the same sizes
//   (b) RDBBulkExecuteSQL of N inserts in 50000-character batches
//                                                    vs  the sqlite3 shell, one transaction
//   (c) RDBBulkQueryRecord of N rows to a handler    vs  the sqlite3 shell printing to /dev/null
//   (d) impacket doing (a)
// Usage: rdb_bench [--rows N] [--round-trips N] [--skip-impacket]
// The service runs in this process on a temporary database file.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "dbclient/querion.h"
#include "provider/dbservice.h"
#include "rpc/server.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// A statement the size of one call request registration.
std::string Insert(long i) {
  char buf[300];
  std::snprintf(buf, sizeof buf,
                "insert into BENCH_REQ (USER_ID, SVC_ID, TITLE, TEL_NO, CUST_INFO1, CUST_INFO2, CUST_INFO3, "
                "CUST_INFO4, CALLBACK_NO, REG_DATE, REG_TIME) values ('demo01', 10001, 'bench send', '010%08ld', "
                "'customer %ld', 'info2', 'info3', 'info4', '0212345678', '20261211', '101500')",
                i, i);
  return buf;
}

const char* kCreate =
    "create table if not exists BENCH_REQ (ORV_ID integer primary key, USER_ID varchar(20), SVC_ID int, "
    "TITLE varchar(50), TEL_NO varchar(20), CUST_INFO1 varchar(50), CUST_INFO2 varchar(50), CUST_INFO3 varchar(50), "
    "CUST_INFO4 varchar(50), CALLBACK_NO varchar(20), REG_DATE char(8), REG_TIME char(6))";

void Check(int r, const RDB_ERROR& e, const char* what) {
  if (r < 1) {
    std::fprintf(stderr, "%s failed: %d %d %s\n", what, r, e.nCode, e.szMessage);
    std::exit(1);
  }
}

double RawPingPong(std::size_t req, std::size_t resp, int n) {
  int ls = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(ls, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(ls, reinterpret_cast<sockaddr*>(&a), &len);
  listen(ls, 1);
  std::thread server([&] {
    int fd = accept(ls, nullptr, nullptr);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::vector<char> in(req), out(resp, 'r');
    for (int i = 0; i < n; ++i) {
      std::size_t got = 0;
      while (got < req) got += static_cast<std::size_t>(recv(fd, in.data() + got, req - got, 0));
      send(fd, out.data(), resp, 0);
    }
    close(fd);
  });
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  std::vector<char> out(req, 'q'), in(resp);
  auto t0 = Clock::now();
  for (int i = 0; i < n; ++i) {
    send(fd, out.data(), req, 0);
    std::size_t got = 0;
    while (got < resp) got += static_cast<std::size_t>(recv(fd, in.data() + got, resp - got, 0));
  }
  double s = Seconds(t0);
  close(fd);
  server.join();
  close(ls);
  return s / n * 1e6;
}

long g_rows = 0;
int CountRow(RDB_HANDLE, int32_t, int32_t, const char* rec) {
  g_rows += rec[0] != 0;
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  long rows = 1000000;
  int trips = 5000;
  bool impacket = true;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--rows" && i + 1 < argc) rows = std::atol(argv[++i]);
    else if (a == "--round-trips" && i + 1 < argc) trips = std::atoi(argv[++i]);
    else if (a == "--skip-impacket") impacket = false;
    else {
      std::fprintf(stderr, "usage: rdb_bench [--rows N] [--round-trips N] [--skip-impacket]\n");
      return 2;
    }
  }
  char tmpl[] = "/tmp/rdb_bench.XXXXXX";
  std::string dir = mkdtemp(tmpl);
  provider::DbServiceOptions o;
  o.db_path = dir + "/bench.db";
  provider::DbService service(o);
  rpc::Server server;
  service.RegisterOn(server);
  std::string err;
  if (!server.Listen("127.0.0.1", "0", &err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 1;
  }
  std::string port = std::to_string(server.port());
  int saved = dup(1);
  dup2(2, 1);  // keep the library's binding trace out of the figures
  RDB_HANDLE h = RDBServerOpen("127.0.0.1", port.c_str());
  std::fflush(stdout);
  dup2(saved, 1);
  RDB_ERROR e{};
  char rec[4096];

  // (a)
  Check(RDBQueryFirstRecord(h, "NEW_ORV", "select 1", rec, &e), e, "warm-up");
  auto t0 = Clock::now();
  for (int i = 0; i < trips; ++i) RDBQueryFirstRecord(h, "NEW_ORV", "select 1", rec, &e);
  double rpc_us = Seconds(t0) / trips * 1e6;
  // Sizes of that call on the wire: request PDU 24 + stub, response PDU 24 + 4096 + 1005 + 1.
  std::size_t req_size = 24 + 12 + 8 + 12 + 9 + 3;
  std::size_t resp_size = 24 + 4096 + 1005 + 1;
  double raw_us = RawPingPong(req_size, resp_size, trips);
  std::printf("(a) round trip select 1:     RDBQueryFirstRecord %8.1f us   raw TCP ping-pong %8.1f us   ratio %.2fx (goal <= 2x)\n",
              rpc_us, raw_us, rpc_us / raw_us);

  // (b)
  Check(RDBExecuteSQL(h, "NEW_ORV", kCreate, &e), e, "create");
  t0 = Clock::now();
  std::string batch;
  int32_t count = 0;
  long sent = 0;
  auto flush = [&] {
    int32_t executed = 0;
    Check(RDBBulkExecuteSQL(h, "NEW_ORV", count, batch.c_str(), &executed, &e), e, "bulk");
    sent += executed;
    batch.clear();
    count = 0;
  };
  for (long i = 0; i < rows; ++i) {
    std::string s = Insert(i);
    if (batch.size() + s.size() + 6 > 50000) flush();
    batch += s;
    batch += "~$#^@*";
    ++count;
  }
  if (count) flush();
  double bulk_s = Seconds(t0);
  std::string script = dir + "/inserts.sql";
  {
    std::ofstream f(script);
    f << kCreate << ";\nbegin;\n";
    for (long i = 0; i < rows; ++i) f << Insert(i) << ";\n";
    f << "commit;\n";
  }
  t0 = Clock::now();
  std::string cmd = "sqlite3 " + dir + "/shell.db < " + script;
  if (std::system(cmd.c_str()) != 0) return 1;
  double shell_s = Seconds(t0);
  std::printf("(b) %ld inserts:         RDBBulkExecuteSQL %8.0f/s   sqlite3 shell %8.0f/s   ratio %.2f (goal >= 0.5)\n",
              sent, sent / bulk_s, rows / shell_s, (sent / bulk_s) / (rows / shell_s));

  // (c)
  RDBSetEventCallBackFN(&CountRow);
  int32_t n = 0;
  t0 = Clock::now();
  Check(RDBBulkQueryRecord(h, "NEW_ORV", 1, "select * from BENCH_REQ", &n, &e), e, "query");
  double query_s = Seconds(t0);
  t0 = Clock::now();
  cmd = "sqlite3 " + dir + "/shell.db 'select * from BENCH_REQ' > /dev/null";
  if (std::system(cmd.c_str()) != 0) return 1;
  double print_s = Seconds(t0);
  std::printf("(c) %ld rows delivered:  RDBBulkQueryRecord %8.0f/s   sqlite3 shell %8.0f/s   ratio %.2f (goal >= 0.5)\n",
              g_rows, g_rows / query_s, rows / print_s, (g_rows / query_s) / (rows / print_s));

  // (d)
  if (impacket) {
    std::string py = dir + "/rt.py";
    std::ofstream(py) << "import struct,sys,time\n"
                         "from impacket.dcerpc.v5 import transport\n"
                         "from impacket.uuid import uuidtup_to_bin\n"
                         "t=transport.DCERPCTransportFactory('ncacn_ip_tcp:127.0.0.1[%s]'%sys.argv[1])\n"
                         "d=t.get_dce_rpc(); d.connect(); d.bind(uuidtup_to_bin(('b08f120f-ce71-45ad-8c70-89bd0134f5e8','1.0')))\n"
                         "def s(x):\n  x=x+b'\\0'\n  return struct.pack('<III',len(x),0,len(x))+x\n"
                         "db=s(b'NEW_ORV'); q=s(b'select 1'); stub=db+b'\\0'*((4-len(db)%4)%4)+q\n"
                         "n=int(sys.argv[2]); t0=time.time()\n"
                         "for i in range(n):\n  d.call(8,stub); d.recv()\n"
                         "print((time.time()-t0)/n*1e6)\n";
    cmd = "/usr/bin/python3 " + py + " " + port + " " + std::to_string(trips / 5 > 0 ? trips / 5 : 1);
    FILE* p = popen(cmd.c_str(), "r");
    double imp_us = 0;
    if (p && std::fscanf(p, "%lf", &imp_us) == 1) {
      std::printf("(d) impacket round trip select 1: %8.1f us   (ours %.1f us)\n", imp_us, rpc_us);
    } else {
      std::printf("(d) impacket round trip: could not run\n");
    }
    if (p) pclose(p);
  }
  RDBServerClose(h);
  server.Stop();
  std::system(("rm -rf " + dir).c_str());
  return 0;
}
