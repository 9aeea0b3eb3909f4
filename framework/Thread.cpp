#include "framework/Thread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>

namespace corvina {
namespace {

constexpr std::chrono::microseconds kSpinBeforeSleep{50};

struct PendingCall {
  const std::function<void()>* fn = nullptr;
  const void* thread = nullptr;  // the TThread that waits, or null
  bool done = false;
  bool cancelled = false;
  std::exception_ptr error;
  // Set with done or cancelled, for the waiter's lock-free look before it sleeps.
  std::atomic<bool> settled{false};
};

struct SyncQueue {
  std::mutex mutex;
  std::condition_variable ran;
  std::deque<std::shared_ptr<PendingCall>> calls;
  std::function<void()> wakeHook;
  std::thread::id mainThread;
  bool mainThreadSet = false;
  // Threads whose Synchronize calls are refused while the main thread waits for them.
  std::deque<const void*> refused;
};

SyncQueue& Queue() {
  static SyncQueue queue;
  return queue;
}

std::thread::id MainThreadId() {
  SyncQueue& q = Queue();
  std::lock_guard lock(q.mutex);
  if (!q.mainThreadSet) {
    q.mainThread = std::this_thread::get_id();
    q.mainThreadSet = true;
  }
  return q.mainThread;
}

bool IsRefused(SyncQueue& q, const void* thread) {
  for (const void* t : q.refused)
    if (t == thread) return true;
  return false;
}

void RunOnMainThread(const std::function<void()>& fn, const void* thread) {
  if (IsMainThread()) {
    fn();
    return;
  }
  SyncQueue& q = Queue();
  auto call = std::make_shared<PendingCall>();
  call->fn = &fn;
  call->thread = thread;
  std::function<void()> hook;
  {
    std::lock_guard lock(q.mutex);
    if (thread && IsRefused(q, thread)) throw ESynchronizeCancelled();
    q.calls.push_back(call);
    hook = q.wakeHook;
  }
  if (hook) hook();
  // The main thread usually runs the call within microseconds; a short look
  // saves the worker a sleep and a wake-up per call.
  const auto spinUntil = std::chrono::steady_clock::now() + kSpinBeforeSleep;
  while (!call->settled.load(std::memory_order_acquire) &&
         std::chrono::steady_clock::now() < spinUntil)
    std::this_thread::yield();
  std::exception_ptr error;
  {
    std::unique_lock lock(q.mutex);
    q.ran.wait(lock, [&] { return call->done || call->cancelled; });
    if (call->cancelled) throw ESynchronizeCancelled();
    // The worker takes the only reference, so the exception object is freed
    // on this thread, not by the main thread dropping the call.
    error = std::move(call->error);
  }
  if (error) std::rethrow_exception(error);
}

}  // namespace

void SetMainThread() {
  SyncQueue& q = Queue();
  std::lock_guard lock(q.mutex);
  q.mainThread = std::this_thread::get_id();
  q.mainThreadSet = true;
}

bool IsMainThread() { return std::this_thread::get_id() == MainThreadId(); }

void Synchronize(const std::function<void()>& fn) { RunOnMainThread(fn, nullptr); }

bool CheckSynchronize() {
  if (!IsMainThread()) return false;
  SyncQueue& q = Queue();
  bool any = false;
  for (;;) {
    std::shared_ptr<PendingCall> call;
    {
      std::lock_guard lock(q.mutex);
      if (q.calls.empty()) break;
      call = q.calls.front();
      q.calls.pop_front();
    }
    any = true;
    std::exception_ptr error;
    try {
      (*call->fn)();
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard lock(q.mutex);
      call->error = std::move(error);
      call->done = true;
      call->settled.store(true, std::memory_order_release);
    }
    q.ran.notify_all();
  }
  return any;
}

void SetSynchronizeWakeHook(std::function<void()> hook) {
  SyncQueue& q = Queue();
  std::lock_guard lock(q.mutex);
  q.wakeHook = std::move(hook);
}

TThread::TThread() { MainThreadId(); }

TThread::~TThread() {
  if (started_ && !freeOnTerminate_) {
    Terminate();
    WaitFor();
  }
}

void TThread::Start() {
  if (started_.exchange(true)) return;
  if (freeOnTerminate_) {
    // The thread may end and free this object before the call returns.
    std::thread(&TThread::Run, this).detach();
    return;
  }
  std::lock_guard lock(joinMutex_);
  thread_ = std::thread(&TThread::Run, this);
}

void TThread::Run() {
  try {
    Execute();
  } catch (...) {
    // An exception ends the thread; what Execute wants reported it reports itself.
  }
  try {
    DoTerminate();
  } catch (...) {
  }
  finished_ = true;
  if (freeOnTerminate_) delete this;
}

void TThread::Synchronize(const std::function<void()>& fn) { RunOnMainThread(fn, this); }

void TThread::WaitFor() {
  if (!started_ || freeOnTerminate_) return;
  {
    std::lock_guard join(joinMutex_);
    if (std::this_thread::get_id() == thread_.get_id()) return;
  }
  SyncQueue& q = Queue();
  const bool onMain = IsMainThread();
  if (onMain) {
    std::lock_guard lock(q.mutex);
    q.refused.push_back(this);
    for (auto it = q.calls.begin(); it != q.calls.end();) {
      if ((*it)->thread == this) {
        (*it)->cancelled = true;
        (*it)->settled.store(true, std::memory_order_release);
        it = q.calls.erase(it);
      } else {
        ++it;
      }
    }
  }
  q.ran.notify_all();
  {
    std::lock_guard join(joinMutex_);
    if (thread_.joinable()) thread_.join();
  }
  if (onMain) {
    std::lock_guard lock(q.mutex);
    for (auto it = q.refused.begin(); it != q.refused.end(); ++it) {
      if (*it == this) {
        q.refused.erase(it);
        break;
      }
    }
  }
}

}  // namespace corvina
