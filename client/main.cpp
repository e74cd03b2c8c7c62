// Tellomar: the client program.
//
//   Tellomar [--startup-only] [SERVER_ADDRESS [LOGIN_ID] [PASSWORD]]
//
// Reads ./Env/Tellomar.INI, binds to the database service at the configured
// (or the command-line) address, installs the default record handler and
// runs the main frame: the login, then the menus and screens. With
// --startup-only, or without a display, it writes "started" to the debug
// log after a successful start-up and ends with exit code 0 (tellomar_shots
// shows a whole session without a display). A start-up that cannot read the
// configuration ends with exit code 1.
//
// Environment:
//   TELLOMAR_DB_PORT   port of the database service instead of 8907 (for
//                      tests, which run the service on a free port)
//   TELLOMAR_HEADLESS  1: nobody is at the screen (message boxes on stderr)
//   QT_QPA_PLATFORM    offscreen or minimal also means nobody is at the
//                      screen; without it and without DISPLAY and
//                      WAYLAND_DISPLAY the program runs offscreen.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "client/app/command_line.h"
#include "client/app/debug_log.h"
#include "client/app/headless_host.h"
#include "client/app/tellomar_app.h"
#include "client/app/tellomar_env.h"
#include "client/frame/main_frame.h"
#include "ui/qt/qt_host.h"

namespace {

bool EnvSet(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

// Whether nobody can answer a window; sets up the offscreen platform when
// there is no display at all.
bool DecideHeadless() {
  if (const char* h = std::getenv("TELLOMAR_HEADLESS"); h && std::strcmp(h, "1") == 0) return true;
  if (const char* p = std::getenv("QT_QPA_PLATFORM"); p && *p) {
    return std::strcmp(p, "offscreen") == 0 || std::strcmp(p, "minimal") == 0;
  }
  if (!EnvSet("DISPLAY") && !EnvSet("WAYLAND_DISPLAY")) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return true;
  }
  return false;
}

void Usage(std::FILE* to) {
  std::fprintf(to, "usage: Tellomar [--startup-only] [SERVER_ADDRESS [LOGIN_ID] [PASSWORD]]\n");
}

}  // namespace

int main(int argc, char** argv) {
  const bool headless = DecideHeadless();
  QApplication qapp(argc, argv);  // takes out the toolkit's own options

  bool startup_only = false;
  std::vector<const char*> words;
  words.push_back(argv[0]);
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--startup-only") == 0) {
      startup_only = true;
    } else if (std::strcmp(argv[i], "--help") == 0) {
      Usage(stdout);
      return 0;
    } else {
      words.push_back(argv[i]);
    }
  }

  CTellomarApp::Options options;
  options.command_line = JoinArguments(static_cast<int>(words.size()), words.data());
  if (const char* port = std::getenv("TELLOMAR_DB_PORT"); port && *port) {
    if (!IsValidPortText(port)) {
      std::fprintf(stderr, "Tellomar: TELLOMAR_DB_PORT must be a port number from 1 to 65535, not \"%s\"\n", port);
      return 2;
    }
    options.db_port = port;
  }

  ui::qt::QtHost qt_host;
  CHeadlessHost headless_host(qt_host);
  ui::Host& host = headless ? static_cast<ui::Host&>(headless_host) : qt_host;
  ui::App app(host);

  CTellomarEnv env;
  g_pEnv = &env;
  env.SetApp(&app);

  CTellomarApp the_app(app, env);
  if (startup_only || headless) {
    // Start-up only: nobody could answer the login. tellomar_shots shows a
    // whole session without a display.
    if (!the_app.InitInstance(options)) return 1;
    DebugLog("started");
    return 0;
  }
  // The main frame: start-up, the login at the first tick, the permissions,
  // the notice thread and the message loop.
  RunOptions run;
  run.run_loop = [] { QApplication::exec(); };
  run.quit_loop = [] { QApplication::quit(); };
  return RunMainFrame(app, the_app, options, run);
}
