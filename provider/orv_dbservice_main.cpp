// orv-dbservice: the reference database service.
//
//   orv-dbservice [--listen ADDRESS] [--port PORT] [--db FILE] [--demo]
//                 [--simulate CALLS] [--mix A,B,V,N,U,O]
//
// Serves the remote database interface on ADDRESS:PORT (default
// 127.0.0.1:8907) over the database FILE (default ./orv.db, created when
// missing). Ends cleanly on SIGINT or SIGTERM.
//
//   --demo        creates or refreshes the demo customer's data (history up
//                 to today) in FILE before serving
//   --simulate N  runs the call simulator once a second on its own thread,
//                 placing up to N calls per running service and second
//   --mix ...     the simulator's result weights: answered, busy, voice
//                 mailbox, no answer, unassigned, other (default
//                 70,10,5,10,3,2)
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "provider/dbservice.h"
#include "provider/demo.h"
#include "provider/procedures.h"
#include "provider/simulator.h"
#include "provider/sql/engine.h"
#include "provider/sql/functions.h"
#include "provider/sql/schema.h"
#include "rpc/server.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: orv-dbservice [--listen ADDRESS] [--port PORT] [--db FILE] [--demo] [--simulate CALLS] "
               "[--mix A,B,V,N,U,O]\n");
}

}  // namespace

int main(int argc, char** argv) {
  // SQLite's memory statistics take a process-wide mutex on every
  // allocation; the service reads none of them. Set before SQLite starts.
  sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  std::string listen = "127.0.0.1", port = "8907", db = "orv.db";
  bool demo = false, simulate = false;
  provider::SimulatorOptions sim_options;
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
    else if (a == "--demo") demo = true;
    else if (a == "--simulate") {
      std::string n;
      value(&n);
      char* end = nullptr;
      const long calls = std::strtol(n.c_str(), &end, 10);
      if (n.empty() || *end || calls < 1 || calls > 100000) {
        std::fprintf(stderr, "orv-dbservice: --simulate needs a number of calls from 1 to 100000\n");
        return 2;
      }
      simulate = true;
      sim_options.calls_per_step = static_cast<int>(calls);
    } else if (a == "--mix") {
      std::string mix;
      value(&mix);
      if (!provider::ParseMix(mix, &sim_options)) {
        std::fprintf(stderr, "orv-dbservice: --mix needs six weights, e.g. 70,10,5,10,3,2\n");
        return 2;
      }
    }
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
    if (demo) {
      r = provider::CreateDemoData(*engine, provider::DatePart(engine->LocalNow()));
      if (!r.ok()) {
        std::fprintf(stderr, "orv-dbservice: cannot create the demo data in %s: %s\n", db.c_str(), r.message.c_str());
        return 1;
      }
      std::printf("orv-dbservice: demo data ready (login %s / %s)\n", provider::kDemoUser, provider::kDemoPassword);
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
    provider::RegisterProcedures(engine);
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
  // The simulator works on its own engine and thread until the stop signal.
  std::atomic<bool> stop{false};
  std::thread simulator;
  if (simulate) {
    auto engine = provider::Engine::Open(db, &error);
    if (!engine) {
      std::fprintf(stderr, "orv-dbservice: simulator cannot open %s: %s\n", db.c_str(), error.c_str());
      return 1;
    }
    simulator = std::thread([&stop, &sim_options, engine = std::move(engine)]() mutable {
      provider::Simulator sim(*engine, sim_options);
      while (!stop.load()) {
        const std::optional<provider::DateTime> now = provider::ParseDateTime(engine->LocalNow());
        if (now) {
          provider::ExecResult r = sim.Step(*now);
          if (!r.ok()) std::fprintf(stderr, "orv-dbservice: simulator: %s\n", r.message.c_str());
        }
        for (int i = 0; i < 10 && !stop.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    });
  }
  int sig = 0;
  sigwait(&signals, &sig);
  std::printf("orv-dbservice: stopping (signal %d)\n", sig);
  stop = true;
  if (simulator.joinable()) simulator.join();
  server.Stop();
  return 0;
}
