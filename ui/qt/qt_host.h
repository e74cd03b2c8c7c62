// The Qt 6 host: renders the layer's windows and controls with Qt widgets,
// places them from their dialog-unit positions, and carries out modal loops,
// message boxes, file dialogs, timers and the cursor. A QApplication must
// exist on the user-interface thread before the host is made.
#pragma once

#include <QFont>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <map>
#include <memory>
#include <unordered_map>

#include "ui/app.h"
#include "ui/layout.h"
#include "ui/window.h"

class QTimer;

namespace ui::qt {

// The family the host prefers for Korean text, when it is installed.
inline constexpr const char* kPreferredFamily = "NanumGothic";

class QtHost : public Host {
 public:
  QtHost();
  ~QtHost() override;

  // The dialog font (the preferred family when installed) and its base units.
  const QFont& dialog_font() const { return font_; }
  BaseUnits base_units() const { return base_; }
  // Qt font for a screen's font request ("굴림체" and the like map to the
  // installed Korean families).
  QFont FontFor(const Font& f) const;

  QWidget* WidgetFor(const Window& w) const;
  QWidget* WidgetFor(const Control& c) const;
  // Renders a window as it would appear on screen.
  QImage Grab(const Window& w);

  // Host.
  void Attach(App& app) override { app_ = &app; }
  void WindowCreated(Window& w) override;
  void WindowDestroyed(Window& w) override;
  void WindowChanged(Window& w) override;
  void RunModal(Dialog& dlg) override;
  void EndModal(Dialog& dlg) override;
  int ShowMessageBox(Window* owner, std::string_view text, std::string_view caption, unsigned type) override;
  std::optional<std::vector<std::string>> ShowFileDialog(Window* owner, const FileDialogSpec& spec) override;
  void SetTimer(Window& w, unsigned id, unsigned interval_ms) override;
  void KillTimer(Window& w, unsigned id) override;
  void Refresh(Control& c, std::uint32_t changes) override;
  void SetWaitCursor(bool on) override;
  void Arrange(Window& frame, MdiArrange how) override;
  void ProcessEvents() override;
  void Wake() override;

 private:
  struct WindowData;
  void BuildControls(Window& w, QWidget* surface);
  QWidget* MakeWidget(Control& c, QWidget* surface);
  void SyncFrame(Window& frame);
  void SyncCommon(Control& c, QWidget* widget, std::uint32_t changes);
  // After a user action: show what the handlers changed at once.
  void AfterUser();

  App* app_ = nullptr;
  // Receiver of the wake-ups; queued calls die with it.
  std::unique_ptr<QObject> context_;
  std::unordered_map<const QWidget*, Control*> controls_of_;
  QFont font_;
  BaseUnits base_;
  std::unordered_map<const Window*, std::unique_ptr<WindowData>> windows_;
  std::unordered_map<const Control*, QPointer<QWidget>> widgets_;
  std::map<std::pair<const Window*, unsigned>, QTimer*> timers_;
  std::atomic<bool> wake_posted_{false};
  bool wait_cursor_ = false;
};

}  // namespace ui::qt
