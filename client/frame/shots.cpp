#include "client/frame/shots.h"

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <cstdio>
#include <filesystem>

#include "client/app/headless_host.h"
#include "client/frame/login_dlg.h"

namespace {

// The Qt host, with the modal runs taken over: the login is filled in,
// grabbed and sent; other dialogs are grabbed and closed; message boxes
// are written down and answered as in any headless run.
class ShotHost : public CHeadlessHost {
 public:
  ShotHost(ui::qt::QtHost& inner, const ShotsOptions& o, ShotsResult& r)
      : CHeadlessHost(inner), inner_(inner), o_(o), r_(r) {}

  void RunModal(ui::Dialog& dlg) override {
    if (auto* login = dynamic_cast<CDlgLogin*>(&dlg)) {
      login->Get<ui::Edit>(CDlgLogin::kLoginId).SetText(o_.login_id);
      login->Get<ui::Edit>(CDlgLogin::kPassword).SetText(o_.password);
      Save(dlg, "login.png");
      dlg.PressEnter();
      if (!dlg.ended()) {
        r_.error = "the login of \"" + o_.login_id + "\" was refused";
        dlg.EndDialog(ui::IDCANCEL);
      } else {
        logged_in_ = dlg.result() == ui::IDOK;
      }
      return;
    }
    Save(dlg, "dialog" + std::to_string(++dialogs_) + ".png");
    dlg.EndDialog(ui::IDOK);
  }

  // Grabs a window into the output folder.
  bool Save(const ui::Window& w, const std::string& name) {
    QWidget* widget = inner_.WidgetFor(w);
    if (!widget) return false;
    const bool was_visible = widget->isVisible();
    if (!was_visible) widget->show();
    QCoreApplication::processEvents();
    QImage image = inner_.Grab(w);
    if (!was_visible) widget->hide();
    const std::string path = (std::filesystem::path(o_.out_dir) / name).string();
    if (image.isNull() || !image.save(QString::fromStdString(path), "PNG")) {
      r_.error = "cannot write " + path;
      return false;
    }
    r_.files.push_back(path);
    return true;
  }

  bool logged_in() const { return logged_in_; }

 private:
  ui::qt::QtHost& inner_;
  const ShotsOptions& o_;
  ShotsResult& r_;
  bool logged_in_ = false;
  int dialogs_ = 0;
};

}  // namespace

ShotsResult TakeScreenshots(const ShotsOptions& options) {
  ShotsResult result;
  std::error_code ec;
  std::filesystem::create_directories(options.out_dir, ec);

  ui::qt::QtHost qt_host;
  ShotHost host(qt_host, options, result);
  ui::App app(host);
  CTellomarEnv env;
  CTellomarEnv* previous = g_pEnv;
  if (!g_pEnv) g_pEnv = &env;
  env.SetApp(&app);
  if (!options.ini_path.empty()) env.m_strIniPath = options.ini_path;
  if (!options.zevrin_ini_path.empty()) env.m_strZevrinIniPath = options.zevrin_ini_path;
  CTellomarApp the_app(app, env);
  RegisterScreens(the_app);

  std::unique_ptr<CMainFrame> frame;
  int ended = -1;
  CMainFrame::Options frame_options;
  frame_options.start_notice_thread = false;
  frame_options.end_program = [&ended](int code) { ended = code; };
  frame_options.open_url = [](std::string_view) { return true; };

  CTellomarApp::Options start;
  start.command_line = options.command_line;
  start.db_port = options.db_port;
  start.profile_file = options.profile_file;
  start.create_main_frame = [&](CTellomarApp& a) {
    frame = std::make_unique<CMainFrame>(app, a, frame_options);
    return frame->CreateFrame();
  };

  auto finish = [&] {
    if (frame) {
      if (frame->created()) frame->Destroy();
      frame.reset();
    }
    if (g_pEnv == &env) g_pEnv = previous;
    CTellomarEnv::SetRecordHandler({});
    if (env.m_hRDB) env.RDBServerClose();
  };

  if (!the_app.InitInstance(start)) {
    result.error = "the start-up failed (configuration)";
    finish();
    return result;
  }
  // The login runs at the first tick of the frame's timer; when the loop is
  // back here the tick's work (login, permissions) is done.
  while (!host.logged_in() && ended < 0 && result.error.empty()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  QCoreApplication::processEvents();
  if (host.logged_in() && ended < 0) {
    host.Save(*frame, "main_frame.png");
    // A login that may not use the asked screen (an agent) shows the first
    // screen it may use.
    int command = options.screen_command;
    if (!frame->CommandEnabled(command)) {
      for (const ScreenInfo& s : Screens()) {
        if (s.command != 0 && frame->CommandEnabled(s.command)) {
          command = s.command;
          break;
        }
      }
    }
    if (frame->Command(command)) {
      QCoreApplication::processEvents();
      host.Save(*frame, "screen.png");
    } else if (result.error.empty()) {
      result.error = "no screen command is enabled for this login";
    }
    if (options.inspect) options.inspect(qt_host, *frame);
    // The data creation and transmission screen, where a customer starts.
    if (command != cmd::kSendData && frame->CommandEnabled(cmd::kSendData) && frame->Command(cmd::kSendData)) {
      QCoreApplication::processEvents();
      host.Save(*frame, "send_data.png");
    }
  } else if (result.error.empty()) {
    result.error = "the login did not end with OK";
  }
  result.ok = result.error.empty();
  finish();
  return result;
}
