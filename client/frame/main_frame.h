// The main frame of Tellomar: creation (configuration, binding), the login
// at the first timer tick, the commands a login may use, the view registry
// that opens every screen at most once, the anti-spam guideline, the close
// confirmation, the MDI child size and the MDI area's background settings.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "client/app/tellomar_app.h"
#include "client/frame/command_table.h"
#include "client/frame/notice_thread.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "ui/window.h"

inline constexpr std::string_view kQuitQuestionText = "종료 하시겠습니까?";
inline constexpr std::string_view kIptErrorText = "IPT 정보 읽기 오류. 다시 시도하여 주십시오";
inline constexpr std::string_view kNoBrowserText = "인터넷 브라우져를 찾을수 없습니다.";
// The web site of the agency named in the guideline.
inline constexpr std::string_view kKisaUrl = "https://www.kisa.or.kr";
// "Tellomar(%s)" with the server address.
std::string FrameTitle(std::string_view server_ip);

// The size every MDI child is created with, in pixels: at the top-left
// corner of the MDI area, as wide as the screen and as high as the frame's
// client area minus 70 pixels.
struct ChildRect {
  int x = 0, y = 0, w = 0, h = 0;
  friend bool operator==(const ChildRect&, const ChildRect&) = default;
};
class CChildFrame {
 public:
  static constexpr int kHeightReserve = 70;
  static ChildRect CreationRect(int screen_width, int frame_client_height);
};

// The MDI area's background: colour, an optional bitmap file, the display
// mode and origin, kept in the profile section "MDIClient".
class CMDIClientWnd {
 public:
  enum Mode { kTile = 0, kCenter = 1, kStretch = 2, kAtOrigin = 3 };
  // The system's application-workspace colour, as an RGB value.
  static constexpr int kDefaultBkColor = 0xABABAB;

  // Reads the five profile values (when attached to the MDI area).
  void Load(const platform::ProfileStore& profile);
  // Writes them back (when the MDI area is destroyed); false when a write failed.
  bool Save(platform::ProfileStore& profile) const;

  // Where the bitmap goes in a client area of the given size: one rectangle
  // per copy drawn (tiles, the centred or stretched copy, the copy at the
  // origin); empty without a bitmap. `fill_background` tells whether the
  // background is filled first.
  struct Paint {
    bool fill_background = true;
    bool buffered = false;  // drawn into a memory bitmap first
    std::vector<ChildRect> copies;
  };
  Paint Layout(int client_w, int client_h, int bitmap_w, int bitmap_h) const;

  int display_mode = kTile;
  int bk_color = kDefaultBkColor;
  std::string file_name;
  int origin_x = 0;
  int origin_y = 0;
};

// The anti-spam guideline (template 218).
class CDlgSpamGuide : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 218;
  static constexpr int kText = 1246;
  static constexpr int kKisa = 1248;
  static const char* const kGuideText;

  // open_url opens a web address with the desktop's program; false when it
  // could not.
  CDlgSpamGuide(ui::App& app, std::function<bool(std::string_view)> open_url);

 protected:
  bool OnInitDialog() override;

 private:
  std::function<bool(std::string_view)> open_url_;
};

// The empty form view of a screen that is not built yet: its title and the
// close button.
class CPlaceholderView : public ui::FormView {
 public:
  static constexpr int kClose = 1125;
  CPlaceholderView(ui::App& app, const ScreenInfo& screen);
  const ScreenInfo& screen() const { return screen_; }

 protected:
  void OnDestroy() override;

 private:
  const ScreenInfo& screen_;
};

// The dialog of a modal command that is not built yet.
class CPlaceholderDialog : public ui::Dialog {
 public:
  CPlaceholderDialog(ui::App& app, const ModalCommandInfo& info);
};

// Registers the view template of every screen that has none yet: the built
// screens with their views, the others with the empty form view, in the
// order of the view registry.
void RegisterScreens(CTellomarApp& the_app);

class CMainFrame : public ui::MainFrame {
 public:
  struct Options {
    CNoticeThread::Options notice;
    bool start_notice_thread = true;
    // Ends the process with the exit code. Empty: flush the output and end
    // at once (the notice thread may call it while a screen is busy).
    std::function<void(int)> end_program;
    // Opens a web address; empty: platform::ShellOpen.
    std::function<bool(std::string_view)> open_url;
    // Called when the frame's window is destroyed (the message loop ends).
    std::function<void()> on_destroyed;
  };

  CMainFrame(ui::App& app, CTellomarApp& the_app);
  CMainFrame(ui::App& app, CTellomarApp& the_app, Options options);
  ~CMainFrame() override;

  // Frame creation in its order: window, menu, toolbar and status bar, the
  // MDI background, the configuration and binding, the title, timer 0.
  // False when the configuration cannot be read (the program then ends
  // with exit code 1).
  bool CreateFrame();

  // Opens the screen of a view class, or activates it when it is open;
  // null when no template is registered for it.
  ui::FormView* OpenScreen(std::string_view view_class);
  // The view class of an open view (empty when not opened by OpenScreen).
  std::string ViewClassOf(const ui::FormView* view) const;

  // The disabled flags of the command table (32850 and 32854 share one).
  void SetDisabled(int command, bool disabled);
  bool Disabled(int command) const;

  void OnClose() override;
  void OnTimer(unsigned id) override;

  CMDIClientWnd& mdi_client() { return mdi_client_; }
  CNoticeThread* notice_thread() { return notice_.get(); }
  // The exit code asked for so far (-1: none).
  int exit_code() const { return exit_code_; }

  static constexpr unsigned kLoginTimer = 0;

 protected:
  void OnDestroy() override;

 private:
  void BindCommands();
  void RunLogin();
  void EndProgram(int code);
  void RunModalCommand(const ModalCommandInfo& info);

  CTellomarApp& the_app_;
  CTellomarEnv& env_;
  Options options_;
  CMDIClientWnd mdi_client_;
  std::map<int, bool> disabled_;
  std::map<const ui::FormView*, std::string> view_class_;
  std::unique_ptr<CNoticeThread> notice_;
  std::atomic<int> exit_code_{-1};
};

// How RunMainFrame runs the message loop: run_loop runs it until quit_loop
// is called (for Qt: QApplication::exec and QApplication::quit). Without
// them the window layer's dispatcher and the host's events are pumped until
// the frame is gone.
struct RunOptions {
  std::function<void()> run_loop;
  std::function<void()> quit_loop;
  CMainFrame::Options frame;
};

// The whole program after the window layer is up: registers the screens,
// runs the application's start-up with this frame as its main frame
// (configuration, binding), then the message loop with the login at its
// first tick, until the frame is closed. Returns the exit code (1 when the
// start-up failed; the login's Cancel and a password changed on the server
// end the process with exit code 1 through Options::end_program).
int RunMainFrame(ui::App& app, CTellomarApp& the_app, const CTellomarApp::Options& options, RunOptions run);
int RunMainFrame(ui::App& app, CTellomarApp& the_app, const CTellomarApp::Options& options);
