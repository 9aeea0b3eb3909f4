#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>

#include "framework/Thread.h"

using namespace corvina;
using namespace std::chrono_literals;

namespace {

// A worker that runs its body with Synchronize available.
class LambdaThread : public TThread {
 public:
  explicit LambdaThread(std::function<void(LambdaThread&)> body) : body_(std::move(body)) {}
  ~LambdaThread() override {
    Terminate();
    WaitFor();
  }
  using TThread::Synchronize;

 protected:
  void Execute() override { body_(*this); }

 private:
  std::function<void(LambdaThread&)> body_;
};

// Pumps queued calls on the main thread until done() or a deadline.
template <class Pred>
bool PumpUntil(Pred done) {
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    CheckSynchronize();
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

}  // namespace

TEST(Synchronize, RunsOnMainThreadWhileWorkerWaits) {
  SetMainThread();
  const auto mainId = std::this_thread::get_id();
  std::atomic<bool> ranOnMain{false}, workerResumed{false}, callDone{false};
  std::atomic<bool> resumedBeforeCallEnded{false};
  LambdaThread worker([&](LambdaThread& self) {
    self.Synchronize([&] {
      ranOnMain = std::this_thread::get_id() == mainId;
      std::this_thread::sleep_for(20ms);  // the worker must still be waiting now
      resumedBeforeCallEnded = workerResumed.load();
      callDone = true;
    });
    workerResumed = true;
  });
  worker.Start();
  ASSERT_TRUE(PumpUntil([&] { return workerResumed.load(); }));
  EXPECT_TRUE(ranOnMain);
  EXPECT_TRUE(callDone);
  EXPECT_FALSE(resumedBeforeCallEnded);
}

TEST(Synchronize, ExceptionIsRethrownInWorker) {
  SetMainThread();
  std::atomic<bool> done{false};
  std::string caught;
  LambdaThread worker([&](LambdaThread& self) {
    try {
      self.Synchronize([] { throw std::runtime_error("handler failed"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    done = true;
  });
  worker.Start();
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  EXPECT_EQ(caught, "handler failed");
}

TEST(Synchronize, OnMainThreadRunsDirectlyAndPropagates) {
  SetMainThread();
  int calls = 0;
  Synchronize([&] { ++calls; });
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(CheckSynchronize());  // nothing was queued
  EXPECT_THROW(Synchronize([] { throw std::logic_error("x"); }), std::logic_error);
}

TEST(Synchronize, WakeHookIsCalledForEachQueuedCall) {
  SetMainThread();
  std::atomic<int> wakes{0};
  SetSynchronizeWakeHook([&] { ++wakes; });
  std::atomic<bool> done{false};
  LambdaThread worker([&](LambdaThread& self) {
    self.Synchronize([] {});
    self.Synchronize([] {});
    done = true;
  });
  worker.Start();
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  SetSynchronizeWakeHook(nullptr);
  EXPECT_EQ(wakes, 2);
}

// An owner whose worker is blocked in Synchronize shuts down without pumping:
// the pending call is dropped, the worker ends, nothing touches the freed owner.
TEST(Synchronize, OwnerShutdownWhileWorkerWaitsNeitherDeadlocksNorRunsTheCall) {
  SetMainThread();
  struct Owner {
    int value = 0;
    std::atomic<bool> waiting{false};
    std::atomic<bool> cancelled{false};
    std::unique_ptr<LambdaThread> worker;
  };
  auto owner = std::make_unique<Owner>();
  Owner* raw = owner.get();
  std::atomic<bool> cancelled{false};
  owner->worker = std::make_unique<LambdaThread>([raw, &cancelled](LambdaThread& self) {
    raw->waiting = true;
    try {
      self.Synchronize([raw] { raw->value = 42; });
    } catch (const ESynchronizeCancelled&) {
      cancelled = true;
      return;  // the owner is going: touch nothing of it
    }
  });
  owner->worker->Start();
  while (!raw->waiting) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(20ms);  // let the worker block in Synchronize
  owner->worker.reset();              // joins; must not deadlock
  EXPECT_EQ(owner->value, 0);
  owner.reset();
  EXPECT_TRUE(cancelled);
  EXPECT_FALSE(CheckSynchronize());  // the dropped call is gone from the queue
}

TEST(TThread, CreatedSuspendedAndTerminatedOnRequest) {
  SetMainThread();
  std::atomic<int> loops{0};
  LambdaThread worker([&](LambdaThread& self) {
    while (!self.Terminated()) {
      ++loops;
      std::this_thread::sleep_for(1ms);
    }
  });
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(loops, 0);  // not started yet
  worker.Start();
  while (loops == 0) std::this_thread::sleep_for(1ms);
  worker.Terminate();
  worker.WaitFor();
  EXPECT_TRUE(worker.Finished());
}

TEST(TThread, FreeOnTerminateDeletesItselfAfterExecute) {
  SetMainThread();
  static std::atomic<bool> destroyed{false};
  struct SelfFreeing : TThread {
    ~SelfFreeing() override { destroyed = true; }
    void Execute() override {}
  };
  auto* t = new SelfFreeing;
  t->SetFreeOnTerminate(true);
  t->Start();
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!destroyed && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(destroyed);
}
