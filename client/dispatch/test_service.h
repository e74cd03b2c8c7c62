// orv-dbservice's interface with the real procedures on a database file
// that survives Stop/Start (a service stopped and started again), for the
// send tests.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "provider/dbservice.h"
#include "provider/procedures.h"
#include "provider/sql/engine.h"
#include "provider/sql/functions.h"
#include "provider/sql/schema.h"
#include "rpc/server.h"

class TestService {
 public:
  TestService() {
    char tmpl[] = "/tmp/tellomar_dispatch_test.XXXXXX";
    if (!mkdtemp(tmpl)) {
      error_ = "no temporary folder";
      return;
    }
    dir_ = tmpl;
    db_ = dir_ + "/orv.db";
    auto engine = provider::Engine::Open(db_, &error_);
    if (!engine || !provider::ApplySchema(*engine).ok()) {
      error_ = "schema: " + error_;
      return;
    }
    Exec(*engine, "insert into USER_INFO (USER_ID, PASSWORD, REMAIN_PAY) values ('u1', 'pw', 1000)");
    Exec(*engine,
         "insert into SERVICE_INFO (SVC_ID, USER_ID, SVC_NM, SVC_TYPE, PROG_STAT, DEF_CALLER_ID) values "
         "(7, 'u1', 'S7', 0, '1', '02-555-1234')");
  }
  ~TestService() {
    Stop();
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  }
  // Starts listening (on the previous port when restarted).
  bool Start() {
    provider::DbServiceOptions o;
    o.db_path = db_;
    o.configure = [](provider::Engine& e) {
      std::string err;
      provider::RegisterServiceFunctions(e, &err);
      provider::RegisterProcedures(e);
    };
    service_ = std::make_unique<provider::DbService>(o);
    server_ = std::make_unique<rpc::Server>();
    service_->RegisterOn(*server_);
    if (!server_->Listen("127.0.0.1", port_.empty() ? "0" : port_, &error_)) return false;
    port_ = std::to_string(server_->port());
    return true;
  }
  void Stop() {
    if (server_) server_->Stop();
    server_.reset();
  }
  const std::string& error() const { return error_; }
  const std::string& port() const { return port_; }
  const std::string& dir() const { return dir_; }
  // A query's first value, read from the file directly.
  std::string Value(const std::string& sql) {
    std::string err, value = "<none>";
    auto engine = provider::Engine::Open(db_, &err);
    if (!engine) return "<" + err + ">";
    engine->Execute(sql, [&](const std::vector<std::string>& f) {
      value = f.empty() ? "" : f[0];
      return false;
    });
    return value;
  }
  void Exec(const std::string& sql) {
    std::string err;
    auto engine = provider::Engine::Open(db_, &err);
    if (engine) Exec(*engine, sql);
  }

 private:
  void Exec(provider::Engine& e, const std::string& sql) {
    provider::ExecResult r = e.Execute(sql, {});
    if (!r.ok()) error_ = sql + ": " + r.message;
  }
  std::string dir_, db_, port_, error_;
  std::unique_ptr<rpc::Server> server_;
  std::unique_ptr<provider::DbService> service_;
};
