// A host without a toolkit, for tests: modal dialogs, message boxes and file
// dialogs are answered from a script the test gives (and recorded), timers
// run on a clock the test advances, and the test acts as the user by
// control ID. The thread that creates the App is the user-interface thread;
// the test keeps it pumping (Pump, PumpUntil) while workers run.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/app.h"
#include "ui/window.h"

namespace ui {

class TestHost : public Host {
 public:
  using DialogAction = std::function<void(Dialog&)>;

  enum class ModalKind { MessageBox, Dialog, FileDialog };
  struct Modal {
    ModalKind kind = ModalKind::MessageBox;
    std::string text;     // message text; file dialogs: the filter
    std::string caption;  // caption or dialog title
    unsigned type = 0;    // MB_ flags of a message box
    int result = 0;       // the answer given
    std::vector<std::string> files;  // file dialogs: the files given
  };

  TestHost() = default;

  // The script, consumed in order by the modal requests as they come.
  TestHost& AnswerMessageBox(int result);
  // The action plays the user inside the modal dialog and must end it.
  TestHost& AnswerDialog(DialogAction action);
  TestHost& AnswerDialog(int result);
  // No files = the user cancelled.
  TestHost& AnswerFileDialog(std::vector<std::string> files);
  std::size_t ScriptLeft() const { return script_.size(); }

  const std::vector<Modal>& modals() const { return modals_; }
  std::vector<Modal> MessageBoxes() const;
  // What went against the script: a modal with no or the wrong answer, an
  // answer a message box does not offer, a dialog its action did not end, a
  // malformed file filter. A message box offering only OK needs no answer.
  const std::vector<std::string>& faults() const { return faults_; }

  // Clock of the timers, in milliseconds from 0.
  std::int64_t now_ms() const { return now_; }
  // Moves the clock on, firing every timer that falls due, in time order.
  void Advance(std::int64_t ms);
  // Armed timers of a window: ID -> interval.
  std::map<unsigned, unsigned> Timers(const Window& w) const;

  // Runs the work of workers and the timers already due.
  void Pump();
  // Pumps until done() or the limit; waits for work in between (no polling
  // sleep). Returns done().
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds limit = std::chrono::seconds(30));

  // The user (user-interface thread). False when the control is absent,
  // hidden or disabled, as a user could not reach it.
  bool Click(Window& w, int id);
  bool Type(Window& w, int id, std::string_view text);
  bool Select(Window& w, int id, int index);
  bool DropDown(Window& w, int id);
  bool ClickRow(Window& w, int id, int row, bool ctrl = false);
  bool ClickHeader(Window& w, int id, int column);
  bool SetDate(Window& w, int id, const DateTime& v);
  void PressEnter(Window& w);
  void PressEscape(Window& w);

  bool wait_cursor() const { return wait_cursor_; }
  // Refreshes the host was asked for, per control and in all.
  int refreshes(const Control& c) const;
  int refreshes() const { return total_refreshes_; }
  // A created dialog with this caption (topmost first), or nullptr.
  Dialog* FindDialog(std::string_view caption) const;

  // Host.
  void Attach(App& app) override { app_ = &app; }
  void WindowCreated(Window& w) override;
  void WindowDestroyed(Window& w) override;
  void WindowChanged(Window&) override {}
  void RunModal(Dialog& dlg) override;
  void EndModal(Dialog&) override {}
  int ShowMessageBox(Window* owner, std::string_view text, std::string_view caption, unsigned type) override;
  std::optional<std::vector<std::string>> ShowFileDialog(Window* owner, const FileDialogSpec& spec) override;
  void SetTimer(Window& w, unsigned id, unsigned interval_ms) override;
  void KillTimer(Window& w, unsigned id) override;
  void Refresh(Control& c, std::uint32_t changes) override;
  void SetWaitCursor(bool on) override { wait_cursor_ = on; }
  void Arrange(Window&, MdiArrange) override {}
  void ProcessEvents() override;
  void Wake() override {}

  // Shortest timer interval, as the platform clamps it.
  static constexpr unsigned kMinTimerMs = 10;

 private:
  struct Entry {
    ModalKind kind;
    int result = 0;
    DialogAction action;
    std::vector<std::string> files;
  };
  struct Timer {
    unsigned interval = 0;
    std::int64_t due = 0;
    std::uint64_t seq = 0;  // arming order breaks ties
  };
  std::optional<Entry> Next(ModalKind kind, const std::string& what);
  void FireDue();

  App* app_ = nullptr;
  std::deque<Entry> script_;
  std::vector<Modal> modals_;
  std::vector<std::string> faults_;
  std::map<std::pair<const Window*, unsigned>, Timer> timers_;
  std::uint64_t timer_seq_ = 0;
  std::int64_t now_ = 0;
  bool wait_cursor_ = false;
  std::map<const Control*, int> refresh_counts_;
  int total_refreshes_ = 0;
  std::vector<Window*> windows_;
};

}  // namespace ui
