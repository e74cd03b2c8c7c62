#include "ui/dispatcher.h"

#include <exception>
#include <memory>

namespace ui {

Dispatcher::Dispatcher() : ui_thread_(std::this_thread::get_id()) {}

Dispatcher::~Dispatcher() { Shutdown(); }

void Dispatcher::SetWake(std::function<void()> wake) {
  std::lock_guard lock(mu_);
  wake_ = std::move(wake);
}

bool Dispatcher::Post(std::function<void()> fn) {
  std::function<void()> wake;
  {
    std::lock_guard lock(mu_);
    if (shut_down_) return false;
    queue_.push_back(Task{std::move(fn)});
    wake = wake_;
  }
  work_cv_.notify_all();
  if (wake) wake();
  return true;
}

namespace {
// What a sender waits on; shared so that a task dropped at shutdown can still
// release its sender.
struct SendState {
  std::mutex mu;
  std::condition_variable cv;
  bool done = false;
  bool ran = false;
  std::exception_ptr error;
};
}  // namespace

bool Dispatcher::Send(const std::function<void()>& fn) {
  if (OnUiThread()) {
    fn();
    return true;
  }
  auto state = std::make_shared<SendState>();
  // The task releases the sender whether it runs or is destroyed unrun.
  struct Releaser {
    std::shared_ptr<SendState> s;
    ~Releaser() {
      if (!s) return;
      {
        std::lock_guard lock(s->mu);
        s->done = true;
      }
      s->cv.notify_all();
    }
  };
  auto releaser = std::make_shared<Releaser>();  // built in place: a copy would release early
  releaser->s = state;
  bool queued = Post([releaser, &fn] {
    SendState& s = *releaser->s;
    try {
      fn();
    } catch (...) {
      s.error = std::current_exception();
    }
    s.ran = true;
  });
  releaser.reset();
  if (!queued) return false;
  std::exception_ptr error;
  bool ran;
  {
    std::unique_lock lock(state->mu);
    state->cv.wait(lock, [&] { return state->done; });
    // Taken out under the lock, so that the user-interface thread dropping
    // the shared state never touches the exception this thread rethrows.
    error = std::move(state->error);
    ran = state->ran;
  }
  if (error) std::rethrow_exception(error);
  return ran;
}

std::size_t Dispatcher::RunPending() {
  std::deque<Task> batch;
  {
    std::lock_guard lock(mu_);
    batch.swap(queue_);
  }
  std::size_t n = 0;
  while (!batch.empty()) {
    Task t = std::move(batch.front());
    batch.pop_front();
    t.fn();
    ++n;
  }
  return n;
}

bool Dispatcher::WaitForWork(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mu_);
  return work_cv_.wait_for(lock, timeout, [&] { return !queue_.empty() || shut_down_; }) &&
         !queue_.empty();
}

void Dispatcher::Shutdown() {
  std::deque<Task> dropped;
  {
    std::lock_guard lock(mu_);
    shut_down_ = true;
    dropped.swap(queue_);
  }
  work_cv_.notify_all();
  // Destroying the tasks releases their senders (they see "not run").
  dropped.clear();
}

}  // namespace ui
