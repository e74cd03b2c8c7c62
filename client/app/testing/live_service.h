// A real database service for the environment's tests: orv-dbservice's
// interface on a temporary database file with the schema and the service
// functions, listening on a free loopback port.
#pragma once

#include <memory>
#include <string>

#include "provider/dbservice.h"
#include "rpc/server.h"

class LiveService {
 public:
  LiveService();
  ~LiveService();
  // Empty when the service runs; else why it does not.
  const std::string& error() const { return error_; }
  std::string port() const { return std::to_string(server_.port()); }

 private:
  std::string dir_;
  std::string error_;
  rpc::Server server_;
  std::unique_ptr<provider::DbService> service_;
};

// A loopback port on which nothing listens (connections are refused).
std::string UnusedPort();
