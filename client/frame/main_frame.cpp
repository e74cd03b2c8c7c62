#include "client/frame/main_frame.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "client/app/debug_log.h"
#include "client/deny/regist_deny_dlg.h"
#include "client/frame/login_dlg.h"
#include "client/import/import_dlg.h"
#include "client/import/paste_data_dlg.h"
#include "client/numtools/create_rdd_dlg.h"
#include "client/numtools/delete_data_dlg.h"
#include "client/numtools/dup_check_dlg.h"
#include "client/senddata/send_data_view.h"
#include "platform/shell.h"

std::string FrameTitle(std::string_view server_ip) { return "Tellomar(" + std::string(server_ip) + ")"; }

ChildRect CChildFrame::CreationRect(int screen_width, int frame_client_height) {
  return {0, 0, screen_width, std::max(0, frame_client_height - kHeightReserve)};
}

// ------------------------------------------------------------- MDI client

void CMDIClientWnd::Load(const platform::ProfileStore& profile) {
  const auto s = platform::kProfileMdiClientSection;
  display_mode = profile.GetProfileInt(s, "DisplayMode", kTile);
  origin_x = profile.GetProfileInt(s, "OriginX", 0);
  origin_y = profile.GetProfileInt(s, "OriginY", 0);
  bk_color = profile.GetProfileInt(s, "BkColor", kDefaultBkColor);
  file_name = profile.GetProfileString(s, "FileName", "");
}

bool CMDIClientWnd::Save(platform::ProfileStore& profile) const {
  const auto s = platform::kProfileMdiClientSection;
  bool ok = profile.WriteProfileInt(s, "DisplayMode", display_mode);
  ok = profile.WriteProfileInt(s, "BkColor", bk_color) && ok;
  ok = profile.WriteProfileString(s, "FileName", file_name) && ok;
  ok = profile.WriteProfileInt(s, "OriginX", origin_x) && ok;
  ok = profile.WriteProfileInt(s, "OriginY", origin_y) && ok;
  return ok;
}

CMDIClientWnd::Paint CMDIClientWnd::Layout(int client_w, int client_h, int bitmap_w, int bitmap_h) const {
  Paint p;
  if (bitmap_w <= 0 || bitmap_h <= 0 || client_w <= 0 || client_h <= 0) return p;
  switch (display_mode) {
    case kTile:
      p.fill_background = false;
      for (int y = 0; y < client_h; y += bitmap_h)
        for (int x = 0; x < client_w; x += bitmap_w) p.copies.push_back({x, y, bitmap_w, bitmap_h});
      return p;
    case kCenter:
      p.copies.push_back({(client_w - bitmap_w) / 2, (client_h - bitmap_h) / 2, bitmap_w, bitmap_h});
      break;
    case kStretch:
      p.fill_background = false;
      p.copies.push_back({0, 0, client_w, client_h});
      break;
    case kAtOrigin:
      p.copies.push_back({origin_x, origin_y, bitmap_w, bitmap_h});
      break;
    default:
      // An unknown mode from the profile: the background only.
      p.copies.clear();
      break;
  }
  p.buffered = true;
  return p;
}

// --------------------------------------------------------- guideline dialog

const char* const CDlgSpamGuide::kGuideText =
    "                                 [스팸방지가이드라인 주요내용]\r\n"
    "1. 스팸 정의\r\n"
    "   이메일이나 휴대폰 등 정보통신서비스를 이용하는 이용자의 단말기로 본인이 원치 않음에도\r\n"
    "   불구하고 일방적으로 전송되는 영리목적의 광고성 정보\r\n"
    "2. 음성스팸 유형\r\n"
    "   가. 수신자와 전화를 연결하여 일방적으로 녹음된 음성광고를 전송\r\n"
    "   나. 번호만 남긴 후 끊어 수신자의 자발적 접속 유도\r\n"
    "   다. 사람이 직접 전화하는 텔레마케팅\r\n"
    "3. 광고전송허용시간\r\n"
    "   광고전송에 대한 동의를 얻었을 경우 광고전송이 허용되는 시간은 오전 8시 이후~오후 9시 이전\r\n"
    "4. 기타 주요 내용\r\n"
    "   가. 번호 조합을 통해 얻은 전화번호 또는 당사자의 동의 없이 제3자에게 구입한 전화번호 등을 \r\n"
    "   이용하여 무작위로 광고를 전송하여서는 아니 된다.\r\n"
    "   나. 광고수신에 대한 동의를 목적으로 사전동의 없이 SMS, MMS전송, 음성전화를 거는 행위의 금지.\r\n"
    "   다. 발신번호(CID)를 조작 금지 및 청소년에게 청소년유해매체물에 대한 광고 금지\r\n"
    "5. 벌칙\r\n"
    "   유형별로 1년이하의 징역 또는 3천만원 이하의 과태료\r\n"
    "6. 기타 스팸에 관련한 자세한 사항은 아래\u201CKISA 홈페이지\u201D를 클릭하여 참조하십시오.";

CDlgSpamGuide::CDlgSpamGuide(ui::App& app, std::function<bool(std::string_view)> open_url)
    : Dialog(app, "스팸방지가이드라인 주요내용", ui::Rect{0, 0, 400, 230}), open_url_(std::move(open_url)) {
  AddEdit(kText, {7, 7, 386, 195}, ui::kMultiline | ui::kReadOnly | ui::kVScroll | ui::kWantReturn);
  AddButton(kKisa, "KISA 홈페이지(&K)", {7, 209, 90, 14}, ui::kTabStop);
  AddButton(ui::IDOK, "닫기(&X)", {343, 209, 50, 14}, ui::kDefault | ui::kTabStop);
  On(kKisa, ui::Notify::Clicked, [this] {
    if (!open_url_ || !open_url_(kKisaUrl)) {
      this->app().MessageBox(nullptr, kNoBrowserText, ui::kCaptionConfirm, ui::MB_OK | ui::MB_ICONERROR);
    }
  });
}

bool CDlgSpamGuide::OnInitDialog() {
  Get<ui::Edit>(kText).SetText(kGuideText);
  SetFocus(ui::IDOK);
  return false;
}

// ------------------------------------------------------------- placeholders

CPlaceholderView::CPlaceholderView(ui::App& app, const ScreenInfo& screen)
    : FormView(app, ui::Rect{0, 0, 400, 200}), screen_(screen) {
  AddStatic(ui::IDC_STATIC, screen.title, {10, 10, 300, 12});
  AddButton(kClose, "닫기(&X)", {10, 30, 50, 14}, ui::kOwnerDraw | ui::kTabStop).SetTooltip("화면을 닫습니다.");
  On(kClose, ui::Notify::Clicked, [this] { CloseFrame(); });
}

void CPlaceholderView::OnDestroy() {
  // The screens of the pending and completed requests, the statistics, the
  // callbacks, the live graph, the services and the voice prompts give
  // their command free again when they go.
  static const int kClearing[] = {cmd::kQueryReqOrv, cmd::kQueryRstOrv, cmd::kCallCheck,  cmd::kQueryStatis,
                                  cmd::kStatisGraph, cmd::kServiceId,   cmd::kSendVoxFile};
  if (auto* f = dynamic_cast<CMainFrame*>(frame())) {
    if (std::find(std::begin(kClearing), std::end(kClearing), screen_.command) != std::end(kClearing)) {
      f->SetDisabled(screen_.command, false);
    }
  }
}

CPlaceholderDialog::CPlaceholderDialog(ui::App& app, const ModalCommandInfo& info)
    : Dialog(app, info.title, ui::Rect{0, 0, 240, 60}) {
  AddStatic(ui::IDC_STATIC, info.title, {7, 10, 226, 12});
  AddButton(ui::IDOK, "닫기(&X)", {95, 38, 50, 14}, ui::kDefault | ui::kTabStop);
}

namespace {

// The send view with the dialogs that fill its list.
std::unique_ptr<ui::FormView> MakeSendDataView(ui::App& app, CTellomarApp& the_app) {
  CTellomarEnv& env = the_app.env();
  platform::ProfileStore* profile = &the_app.Profile();
  SendDataTools tools;
  tools.import_file = [&app, &env, profile](ui::Window*, ui::ReportList& list) {
    CDlgImport dlg(app, env, list);
    dlg.m_pProfile = profile;
    dlg.DoModal(nullptr);
  };
  tools.paste = [&app, &env](ui::Window*, ui::ReportList& list) {
    CDlgPasteData dlg(app, env, list);
    dlg.DoModal(nullptr);
  };
  tools.create_rdd = [&app, &env](ui::Window*, ui::ReportList& list) {
    CDlgCreateRDD dlg(app, env, list);
    dlg.DoModal(nullptr);
  };
  return std::make_unique<CDlgSendData>(app, env, std::move(tools));
}

}  // namespace

void RegisterScreens(CTellomarApp& the_app) {
  auto registered = [&the_app](std::string_view cls) {
    const auto& have = the_app.DocTemplates();
    return std::any_of(have.begin(), have.end(), [&](const CViewTemplate& t) { return t.view_class == cls; });
  };
  if (!registered("CDlgSendData")) {
    CTellomarApp* app_object = &the_app;
    the_app.AddDocTemplate(CViewTemplate{"CDlgSendData", ScreenByClass("CDlgSendData")->title,
                                         [app_object](ui::App& app) { return MakeSendDataView(app, *app_object); }});
  }
  for (const ScreenInfo& s : Screens()) {
    if (registered(s.view_class)) continue;
    const ScreenInfo* screen = &s;
    the_app.AddDocTemplate(CViewTemplate{s.view_class, s.title, [screen](ui::App& app) {
                                           return std::make_unique<CPlaceholderView>(app, *screen);
                                         }});
  }
}

// -------------------------------------------------------------- main frame

CMainFrame::CMainFrame(ui::App& app, CTellomarApp& the_app, Options options)
    : MainFrame(app, "Tellomar"), the_app_(the_app), env_(the_app.env()), options_(std::move(options)) {
  for (int id : FlaggedCommands()) disabled_[FlagOf(id)] = false;
  BindCommands();
}

CMainFrame::CMainFrame(ui::App& app, CTellomarApp& the_app) : CMainFrame(app, the_app, Options()) {}

CMainFrame::~CMainFrame() {
  if (notice_) notice_->Stop();
}

bool CMainFrame::CreateFrame() {
  SetMenu(MainMenu());
  SetToolbar(MainToolbar());
  SetCommandPrompt([](int id) { return ToolbarTooltip(id); });
  SetStatusText("준비");
  Create();
  mdi_client_.Load(the_app_.Profile());
  if (!the_app_.StartSession(this)) {
    EndProgram(1);
    return false;
  }
  SetCaption(FrameTitle(env_.m_strServerIP));
  SetTimer(kLoginTimer, 0);
  return true;
}

void CMainFrame::EndProgram(int code) {
  int none = -1;
  if (!exit_code_.compare_exchange_strong(none, code)) return;  // already ending
  DebugLog("CMainFrame: the program ends with exit code %d", code);
  if (options_.end_program) {
    options_.end_program(code);
    return;
  }
  std::fflush(nullptr);
  std::_Exit(code);
}

void CMainFrame::SetDisabled(int command, bool disabled) {
  const int flag = FlagOf(command);
  disabled_[flag] = disabled;
  for (int id : FlaggedCommands())
    if (FlagOf(id) == flag) SetCommandEnabled(id, !disabled);
}

bool CMainFrame::Disabled(int command) const {
  auto it = disabled_.find(FlagOf(command));
  return it != disabled_.end() && it->second;
}

void CMainFrame::BindCommands() {
  for (const ScreenInfo& s : Screens()) {
    if (s.command == 0) continue;
    On(s.command, ui::Notify::Command, [this, cls = std::string(s.view_class)] { OpenScreen(cls); });
  }
  for (const ModalCommandInfo& m : ModalCommands()) {
    On(m.command, ui::Notify::Command, [this, info = &m] { RunModalCommand(*info); });
  }
  On(cmd::kAppExit, ui::Notify::Command, [this] { OnClose(); });
  On(cmd::kAppAbout, ui::Notify::Command, [this] { the_app_.ShowAboutBox(this); });
  On(cmd::kViewToolbar, ui::Notify::Command, [this] { ShowToolbar(!ToolbarShown()); });
  On(cmd::kViewStatusBar, ui::Notify::Command, [this] { ShowStatusBar(!StatusBarShown()); });
  On(cmd::kWindowCascade, ui::Notify::Command, [this] { Arrange(ui::MdiArrange::Cascade); });
  On(cmd::kWindowTile, ui::Notify::Command, [this] { Arrange(ui::MdiArrange::Tile); });
  On(cmd::kWindowArrange, ui::Notify::Command, [this] { Arrange(ui::MdiArrange::Icons); });
}

void CMainFrame::RunModalCommand(const ModalCommandInfo& info) {
  switch (info.command) {
    case cmd::kDenyList: {
      CDlgRegistDeny dlg(app(), env_, &the_app_.Profile());
      dlg.DoModal(nullptr);
      return;
    }
    case cmd::kDuplicateCheck: {
      CDlgDupCheck dlg(app(), env_, &the_app_.Profile());
      dlg.DoModal(nullptr);
      return;
    }
    case cmd::kDeleteOldData: {
      CDlgDeleteData dlg(app(), env_);
      dlg.DoModal(nullptr);
      return;
    }
    default: {
      CPlaceholderDialog dlg(app(), info);
      dlg.DoModal(nullptr);
    }
  }
}

ui::FormView* CMainFrame::OpenScreen(std::string_view view_class) {
  // Forget the views that were closed since.
  const std::vector<ui::FormView*> open = Views();
  for (auto it = view_class_.begin(); it != view_class_.end();) {
    if (std::find(open.begin(), open.end(), it->first) == open.end()) {
      it = view_class_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& [view, cls] : view_class_) {
    if (cls == view_class) {
      ActivateView(const_cast<ui::FormView*>(view));
      return const_cast<ui::FormView*>(view);
    }
  }
  for (const CViewTemplate& t : the_app_.DocTemplates()) {
    if (t.view_class != view_class || !t.create) continue;
    ui::FormView* v = OpenView(t.create(app()), t.title);
    view_class_[v] = t.view_class;
    return v;
  }
  DebugLog("CMainFrame::OpenScreen: no view template for %.*s", static_cast<int>(view_class.size()),
           view_class.data());
  return nullptr;
}

std::string CMainFrame::ViewClassOf(const ui::FormView* view) const {
  auto it = view_class_.find(view);
  return it == view_class_.end() ? std::string() : it->second;
}

void CMainFrame::OnTimer(unsigned id) {
  if (id != kLoginTimer) return MainFrame::OnTimer(id);
  KillTimer(kLoginTimer);
  RunLogin();
}

void CMainFrame::RunLogin() {
  {
    CDlgLogin login(app(), the_app_, [this](int code) { EndProgram(code); });
    if (login.DoModal(this) != ui::IDOK) {
      EndProgram(1);
      return;
    }
  }
  SetCaption(FrameTitle(env_.m_strServerIP));

  env_.m_nUseResearch = env_.GetUseResearch();
  if (env_.m_nUseResearch != 0) {
    // A survey user (or a failed lookup) has no callbacks screen.
    DeleteMenuItem(kCallbacksMenuPopup, kCallbacksMenuPos);
  } else {
    CDlgSpamGuide guide(app(), options_.open_url ? options_.open_url : [](std::string_view url) {
      std::string error;
      const bool ok = platform::ShellOpen(url, &error);
      if (!ok) DebugLog("CDlgSpamGuide: %s", error.c_str());
      return ok;
    });
    guide.DoModal(this);
  }
  for (int cmd_id : DisabledCommands(!env_.m_strAgentName.empty(), env_.m_nUseResearch)) SetDisabled(cmd_id, true);

  if (options_.start_notice_thread) {
    notice_ = std::make_unique<CNoticeThread>(the_app_, this, [this](int code) { EndProgram(code); },
                                              options_.notice);
    notice_->Start();
  }

  if (env_.GetUseIPT() == 0) {
    env_.ShowMessage(nullptr, kIptErrorText, ui::kCaptionError, ui::MB_OK | ui::MB_ICONERROR);
  }
}

void CMainFrame::OnClose() {
  if (app().MessageBox(this, kQuitQuestionText, ui::kCaptionConfirm, ui::MB_YESNO | ui::MB_ICONQUESTION) !=
      ui::IDYES) {
    return;
  }
  Destroy();
}

void CMainFrame::OnDestroy() {
  MainFrame::OnDestroy();
  if (!mdi_client_.Save(the_app_.Profile())) {
    DebugLog("CMDIClientWnd: profile section MDIClient not written (%s)", the_app_.Profile().last_error().c_str());
  }
  if (options_.on_destroyed) options_.on_destroyed();
}

// ------------------------------------------------------------------ running

int RunMainFrame(ui::App& app, CTellomarApp& the_app, const CTellomarApp::Options& options, RunOptions run) {
  RegisterScreens(the_app);
  std::unique_ptr<CMainFrame> frame;
  bool gone = false;
  CMainFrame::Options frame_options = run.frame;
  auto outer_destroyed = frame_options.on_destroyed;
  frame_options.on_destroyed = [&gone, &run, outer_destroyed] {
    gone = true;
    if (outer_destroyed) outer_destroyed();
    if (run.quit_loop) run.quit_loop();
  };
  CTellomarApp::Options start = options;
  start.create_main_frame = [&](CTellomarApp& a) {
    frame = std::make_unique<CMainFrame>(app, a, frame_options);
    return frame->CreateFrame();
  };
  if (!the_app.InitInstance(start)) return 1;
  if (run.run_loop) {
    run.run_loop();
  } else {
    while (!gone && frame->exit_code() < 0) {
      app.dispatcher().WaitForWork(std::chrono::milliseconds(10));
      app.PumpMessages();
    }
  }
  const int code = frame->exit_code();
  frame.reset();
  return code < 0 ? 0 : code;
}

int RunMainFrame(ui::App& app, CTellomarApp& the_app, const CTellomarApp::Options& options) {
  return RunMainFrame(app, the_app, options, RunOptions());
}
