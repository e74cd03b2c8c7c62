// A small dialog that exercises what screens do: an edit with a length
// check, a button that asks a question, a countdown timer, and a worker that
// fills a report list and moves a progress bar while the user-interface
// thread keeps running. Used by the tests of both hosts.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "ui/ddx.h"
#include "ui/window.h"

namespace ui {

class SampleDialog : public Dialog {
 public:
  static constexpr int kName = 1000;
  static constexpr int kAsk = 1001;
  static constexpr int kStart = 1002;
  static constexpr int kStatus = 1003;
  static constexpr int kCountdown = 1004;
  static constexpr int kMemo = 1005;
  static constexpr int kList = 1006;
  static constexpr int kKind = 1007;
  static constexpr int kProgress = 1040;
  static constexpr unsigned kTimer = 1;

  explicit SampleDialog(App& app, int rows = 2000);
  ~SampleDialog() override;

  std::string name;
  int seconds_left = 5;
  std::atomic<bool> worker_done{false};
  // Set by the worker when a value it read back differed from what it wrote.
  std::atomic<bool> readback_wrong{false};

  void JoinWorker();

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(DataExchange& dx) override;
  void OnTimer(unsigned id) override;

 private:
  void OnAsk();
  void OnStart();
  void Work();

  int rows_;
  bool sort_descending_ = true;
  std::thread worker_;
};

}  // namespace ui
