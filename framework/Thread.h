#pragma once
// Worker threads and the hand-over of calls to the main thread.
//
// The main thread owns all program state; a worker reaches it only through
// Synchronize, which queues a call for the main thread and blocks until it ran.
// The main thread runs queued calls in CheckSynchronize.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace corvina {

// Thrown in a worker whose pending Synchronize call was dropped because the
// main thread is waiting for that worker to end.
class ESynchronizeCancelled : public std::runtime_error {
 public:
  ESynchronizeCancelled()
      : std::runtime_error("Synchronize cancelled: the thread is being shut down") {}
};

class TThread {
 public:
  TThread();  // created suspended
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Runs Execute on a new thread. A thread marked FreeOnTerminate deletes
  // itself when Execute has returned and must not be touched after Start.
  void Start();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // Waits for the thread to end. Called on the main thread, it first drops
  // this thread's pending and future Synchronize calls, which could never run
  // while the main thread is blocked here.
  void WaitFor();
  bool Finished() const { return finished_; }
  void SetFreeOnTerminate(bool value) { freeOnTerminate_ = value; }
  bool FreeOnTerminate() const { return freeOnTerminate_; }

  // Runs fn on the main thread and waits; on the main thread runs it directly.
  // An exception thrown by fn is rethrown here.
  void Synchronize(const std::function<void()>& fn);

 protected:
  virtual void Execute() = 0;
  // Called on the worker after Execute, whether it returned or threw.
  virtual void DoTerminate() {}

 private:
  void Run();

  std::thread thread_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> freeOnTerminate_{false};
  std::atomic<bool> started_{false};
  std::mutex joinMutex_;
};

// Marks the calling thread as the main thread. The first thread that uses this
// module is the main thread unless this is called earlier.
void SetMainThread();
bool IsMainThread();

// Runs fn on the main thread for any caller (worker or not) and waits.
void Synchronize(const std::function<void()>& fn);

// Runs every queued call; returns true when at least one ran. Main thread only.
bool CheckSynchronize();

// Called (from any thread) whenever a call is queued, so the main loop can
// schedule CheckSynchronize. Set once at start-up.
void SetSynchronizeWakeHook(std::function<void()> hook);

}  // namespace corvina
