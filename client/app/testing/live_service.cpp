#include "client/app/testing/live_service.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "provider/sql/engine.h"
#include "provider/sql/functions.h"
#include "provider/sql/schema.h"

LiveService::LiveService() {
  char tmpl[] = "/tmp/tellomar_env_test.XXXXXX";
  if (!mkdtemp(tmpl)) {
    error_ = "no temporary folder";
    return;
  }
  dir_ = tmpl;
  const std::string db = dir_ + "/orv.db";
  {
    auto engine = provider::Engine::Open(db, &error_);
    if (!engine) return;
    provider::ExecResult r = provider::ApplySchema(*engine);
    if (!r.ok()) {
      error_ = r.message;
      return;
    }
  }
  provider::DbServiceOptions o;
  o.db_path = db;
  o.configure = [](provider::Engine& e) {
    std::string err;
    provider::RegisterServiceFunctions(e, &err);
  };
  service_ = std::make_unique<provider::DbService>(o);
  service_->RegisterOn(server_);
  server_.Listen("127.0.0.1", "0", &error_);
}

LiveService::~LiveService() {
  server_.Stop();
  if (!dir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
}

std::string UnusedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);  // bound but never listening: the port stays unused
  return std::to_string(ntohs(a.sin_port));
}
