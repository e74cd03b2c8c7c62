// orv-dbservice: the reference database service.
//
//   orv-dbservice [--listen ADDRESS] [--port PORT] [--db FILE]
//
// Serves the remote database interface on ADDRESS:PORT (default
// 127.0.0.1:8907) over the database FILE (default ./orv.db, created when
// missing). Ends cleanly on SIGINT or SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "provider/dbservice.h"
#include "provider/sql/engine.h"
#include "provider/sql/functions.h"
#include "provider/sql/schema.h"
#include "rpc/server.h"

namespace {

void Usage() {
  std::fprintf(stderr, "usage: orv-dbservice [--listen ADDRESS] [--port PORT] [--db FILE]\n");
}

}  // namespace

int main(int argc, char** argv) {
  std::string listen = "127.0.0.1", port = "8907", db = "orv.db";
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) {
        Usage();
        std::exit(2);
      }
      *out = argv[++i];
    };
    if (a == "--listen") value(&listen);
    else if (a == "--port") value(&port);
    else if (a == "--db") value(&db);
    else if (a == "-h" || a == "--help") { Usage(); return 0; }
    else { Usage(); return 2; }
  }

  // Open the database once before serving, so that a bad path fails at
  // start, and bring its schema up to date.
  std::string error;
  {
    auto engine = provider::Engine::Open(db, &error);
    if (!engine) {
      std::fprintf(stderr, "orv-dbservice: cannot open %s: %s\n", db.c_str(), error.c_str());
      return 1;
    }
    provider::ExecResult r = provider::ApplySchema(*engine);
    if (!r.ok()) {
      std::fprintf(stderr, "orv-dbservice: cannot set up the schema in %s: %s\n", db.c_str(), r.message.c_str());
      return 1;
    }
  }

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // every thread inherits the mask

  provider::DbServiceOptions options;
  options.db_path = db;
  options.configure = [](provider::Engine& engine) {
    std::string err;
    if (!provider::RegisterServiceFunctions(engine, &err)) std::fprintf(stderr, "orv-dbservice: %s\n", err.c_str());
  };
  provider::DbService service(options);
  rpc::Server server;
  service.RegisterOn(server);
  if (!server.Listen(listen, port, &error)) {
    std::fprintf(stderr, "orv-dbservice: %s\n", error.c_str());
    return 1;
  }
  std::printf("orv-dbservice: serving %s on %s:%u\n", db.c_str(), listen.c_str(), server.port());
  std::fflush(stdout);
  int sig = 0;
  sigwait(&signals, &sig);
  std::printf("orv-dbservice: stopping (signal %d)\n", sig);
  server.Stop();
  return 0;
}
