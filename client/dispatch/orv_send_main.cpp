#include <csignal>
#include <iostream>

#include "client/dispatch/orv_send.h"

namespace {
std::atomic<bool> g_stop{false};
void OnSignal(int) { g_stop.store(true); }
}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::vector<std::string> args(argv + 1, argv + argc);
  return dispatch::RunOrvSend(args, std::cout, std::cerr, &g_stop);
}
