// The application object of the window layer and the interface of a host.
//
// A host renders the state that the layer keeps (the Qt host for people, the
// test host for the test suite) and carries out what needs a person: modal
// loops, message boxes, file dialogs, timers, the cursor. The App ties one
// host to one dispatcher (the user-interface thread) and is handed to every
// window; there is no global instance.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dispatcher.h"
#include "ui/types.h"

namespace ui {

class App;
class Control;
class Dialog;
class Window;

// What changed in a control since the host last looked (bit set).
enum Change : std::uint32_t {
  kChangeText = 1u << 0,
  kChangeEnabled = 1u << 1,
  kChangeVisible = 1u << 2,
  kChangeItems = 1u << 3,      // combo/list items, tree items
  kChangeSelection = 1u << 4,  // current selection, check state
  kChangeValue = 1u << 5,      // progress/spin position and range, date
  kChangeColumns = 1u << 6,    // report list columns
  kChangeRows = 1u << 7,       // report list rows (see ReportList::TakeRowChanges)
  kChangeLook = 1u << 8,       // font, colours, tooltip, read-only, limit
  kChangeFocus = 1u << 9,
};

// Open or save dialog. The filter is written as the screens write it:
// "CSV 파일 (*.csv)|*.csv|모든 파일 (*.*)|*.*||".
struct FileDialogSpec {
  bool open = true;
  bool multi_select = false;
  std::string title;
  std::string filter;
  std::string initial_dir;
  std::string file_name;
  std::string default_ext;
};

struct FileFilter {
  std::string description;
  std::vector<std::string> patterns;  // "*.csv"
  friend bool operator==(const FileFilter&, const FileFilter&) = default;
};

// Splits a "description|patterns|...||" filter. Patterns within one entry are
// separated by ';'. An entry without patterns, or a description without its
// pattern part, is an error (nullopt); the empty text gives no filters.
std::optional<std::vector<FileFilter>> ParseFileFilter(std::string_view filter);
// Writes filters back in that form ("a|*.a;*.b|...||").
std::string FormatFileFilter(const std::vector<FileFilter>& filters);

enum class MdiArrange { Cascade, Tile, Icons };

class Host {
 public:
  virtual ~Host() = default;

  // The App that uses this host (called once, from the App's constructor).
  virtual void Attach(App&) {}

  // Window life (user-interface thread). WindowCreated comes after the
  // window's controls exist and its initialisation ran.
  virtual void WindowCreated(Window& w) = 0;
  virtual void WindowDestroyed(Window& w) = 0;
  // Caption, shown, enabled, active child, menu, toolbar or status changed.
  virtual void WindowChanged(Window& w) = 0;

  // Runs the modal loop of a created dialog until EndModal(dlg).
  virtual void RunModal(Dialog& dlg) = 0;
  virtual void EndModal(Dialog& dlg) = 0;

  virtual int ShowMessageBox(Window* owner, std::string_view text, std::string_view caption,
                             unsigned type) = 0;
  virtual std::optional<std::vector<std::string>> ShowFileDialog(Window* owner,
                                                                 const FileDialogSpec& spec) = 0;

  // Timers (user-interface thread): arming an armed ID replaces it.
  virtual void SetTimer(Window& w, unsigned id, unsigned interval_ms) = 0;
  virtual void KillTimer(Window& w, unsigned id) = 0;

  // Shows the control's current state; changes is what changed.
  virtual void Refresh(Control& c, std::uint32_t changes) = 0;

  virtual void SetWaitCursor(bool on) = 0;
  virtual void Arrange(Window& frame, MdiArrange how) = 0;
  // Handles pending events of the toolkit (user input, painting).
  virtual void ProcessEvents() = 0;
  // Called from any thread when the dispatcher has work.
  virtual void Wake() = 0;
};

class App {
 public:
  // The calling thread becomes the user-interface thread.
  explicit App(Host& host);
  App(const App&) = delete;
  App& operator=(const App&) = delete;
  ~App();

  Host& host() { return host_; }
  Dispatcher& dispatcher() { return dispatcher_; }
  bool OnUiThread() const { return dispatcher_.OnUiThread(); }

  // Any thread: shows a message box (on the user-interface thread; a worker
  // waits for the answer) and returns IDOK, IDYES, ...
  int MessageBox(Window* owner, std::string_view text, std::string_view caption, unsigned type);
  std::optional<std::vector<std::string>> FileDialog(Window* owner, const FileDialogSpec& spec);

  // User-interface thread: runs work from workers and pending toolkit events,
  // so that long loops keep stop buttons working. No effect on other threads.
  void PumpMessages();

  // Any thread; counted, the cursor shows waiting while the count is above 0.
  void BeginWaitCursor();
  void EndWaitCursor();
  bool WaitCursorShown() const { return wait_count_.load() > 0; }

  Color dialog_color() const { return dialog_color_; }
  void SetDialogColor(Color c) { dialog_color_ = c; }
  // Caption of the data-exchange messages.
  const std::string& app_name() const { return app_name_; }
  void SetAppName(std::string name) { app_name_ = std::move(name); }

  // Windows created and not destroyed, in creation order (user-interface thread).
  const std::vector<Window*>& windows() const { return windows_; }

  // Layer internals: a control's state changed (any thread); refreshes are
  // coalesced into one pass of the user-interface thread.
  void MarkDirty(Control* c);
  void ForgetDirty(Control* c);
  void FlushRefresh();
  void AddWindow(Window* w);
  void RemoveWindow(Window* w);

 private:
  Host& host_;
  Dispatcher dispatcher_;
  std::atomic<int> wait_count_{0};
  Color dialog_color_ = kDialogBackground;
  std::string app_name_ = "Tellomar";
  std::vector<Window*> windows_;

  std::mutex dirty_mu_;
  std::vector<Control*> dirty_;
  bool flush_posted_ = false;
};

// Shows the wait cursor for its lifetime.
class WaitCursor {
 public:
  explicit WaitCursor(App& app) : app_(app) { app_.BeginWaitCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  ~WaitCursor() { app_.EndWaitCursor(); }

 private:
  App& app_;
};

}  // namespace ui
