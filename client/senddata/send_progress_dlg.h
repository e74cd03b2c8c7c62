// The modeless progress window of a send: a status line, a progress bar, a
// stop button that sets the stop flag the sending worker reads once per
// row, and a close button that stays disabled while the worker runs (so the
// window outlives it).
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "ui/window.h"

class CDlgSendDataProgress : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 189;
  static constexpr int kStatus = 1162;
  static constexpr int kProgress = 1040;
  static constexpr int kStop = 1062;
  static constexpr int kClose = ui::IDCANCEL;

  // on_close runs when the user closes the window, before it is destroyed
  // (the owner forgets its pointer there).
  CDlgSendDataProgress(ui::App& app, std::function<void()> on_close);

  // Any thread.
  bool StopRequested() const { return m_bStop.load(); }
  const std::atomic<bool>& StopFlag() const { return m_bStop; }
  void SetStatus(std::string_view text);
  void SetPercent(int percent);
  // The send ended: stop disabled, close enabled (and focused when asked).
  void SendEnded(bool focus_close);

  std::atomic<bool> m_bStop{false};

 protected:
  bool OnInitDialog() override;
  void OnCancel() override;

 private:
  std::function<void()> on_close_;
};
