#pragma once
// A main-thread loop for benchmarks: sleeps until a Synchronize call is queued,
// as the program's event loop does, and runs the queued calls.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "framework/Thread.h"

namespace corvina::bench {

class TPump {
 public:
  TPump() {
    SetMainThread();
    SetSynchronizeWakeHook([this] {
      {
        std::lock_guard lock(mutex_);
        woken_ = true;
      }
      wake_.notify_one();
    });
  }
  ~TPump() { SetSynchronizeWakeHook({}); }

  // Runs queued calls until done() holds or the time is up.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      if (std::chrono::steady_clock::now() > until) return false;
      {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(20), [this] { return woken_; });
        woken_ = false;
      }
      CheckSynchronize();
    }
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
};

}  // namespace corvina::bench
