// Carries work from any thread to the user-interface thread.
//
// Send() runs a function on the user-interface thread and waits for it (the
// semantics of sending a window message); on the user-interface thread it
// runs the function at once. Post() queues a function and returns. The
// user-interface thread runs queued work in RunPending(), which the host
// calls from its event loop; Wake is called (from any thread) whenever new
// work is queued so that a sleeping event loop can come round.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace ui {

class Dispatcher {
 public:
  // The calling thread becomes the user-interface thread.
  Dispatcher();
  Dispatcher(const Dispatcher&) = delete;
  Dispatcher& operator=(const Dispatcher&) = delete;
  ~Dispatcher();

  // Called (from any thread, without locks held) after work was queued.
  void SetWake(std::function<void()> wake);

  bool OnUiThread() const { return std::this_thread::get_id() == ui_thread_; }

  // Queues fn for the user-interface thread. Returns false once shut down.
  bool Post(std::function<void()> fn);

  // Runs fn on the user-interface thread and waits until it has run. An
  // exception thrown by fn is rethrown here. Returns false (fn not run) when
  // the dispatcher was shut down before fn could run.
  bool Send(const std::function<void()>& fn);

  // User-interface thread: runs the work queued so far (not work queued while
  // it runs, so a busy worker cannot starve the caller). Returns how many ran.
  std::size_t RunPending();

  // User-interface thread: waits up to timeout for queued work.
  bool WaitForWork(std::chrono::milliseconds timeout);

  // Refuses further work and releases every waiting sender.
  void Shutdown();

 private:
  struct Task {
    std::function<void()> fn;
  };
  std::thread::id ui_thread_;
  mutable std::mutex mu_;
  std::condition_variable work_cv_;
  std::deque<Task> queue_;
  std::function<void()> wake_;
  bool shut_down_ = false;
};

}  // namespace ui
