// tellomar_shots: screenshots of a Tellomar session without a display.
//
//   tellomar_shots OUT_DIR LOGIN_ID PASSWORD [SERVER_ADDRESS]
//
// Runs in the working folder of the client (./Env/Tellomar.INI), on Qt's
// offscreen platform unless QT_QPA_PLATFORM says otherwise, logs in, and
// writes login.png, main_frame.png and screen.png (the pending-requests
// screen opened) into OUT_DIR, printing each path. TELLOMAR_DB_PORT
// replaces the database service's port. Exit code 0 when all were written.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "client/frame/shots.h"

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr, "usage: tellomar_shots OUT_DIR LOGIN_ID PASSWORD [SERVER_ADDRESS]\n");
    return 2;
  }
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication qapp(argc, argv);
  ShotsOptions o;
  o.out_dir = argv[1];
  o.login_id = argv[2];
  o.password = argv[3];
  if (argc == 5) o.command_line = argv[4];
  if (const char* port = std::getenv("TELLOMAR_DB_PORT"); port && *port) o.db_port = port;
  ShotsResult r = TakeScreenshots(o);
  for (const std::string& f : r.files) std::printf("%s\n", f.c_str());
  if (!r.ok) {
    std::fprintf(stderr, "tellomar_shots: %s\n", r.error.c_str());
    return 1;
  }
  return 0;
}
