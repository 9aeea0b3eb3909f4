#pragma once
// The adapter watch: once a second looks up the chosen adapter's address and
// starts, restarts or stops the capture to follow it.

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "framework/Thread.h"

namespace corvina {

class TSnifferProtocolObject;

class TSnifferHostEnabledThread : public TThread {
 public:
  explicit TSnifferHostEnabledThread(TSnifferProtocolObject& Owner);
  ~TSnifferHostEnabledThread() override;

  // Ends the watch after its current pass, without waiting out the pause.
  void Stop();

  // The pause between passes, one second unless a test sets another.
  static void SetPassInterval(std::chrono::milliseconds interval);

 protected:
  void Execute() override;

 private:
  void Pass();
  void Pause();

  TSnifferProtocolObject& Owner;
  std::mutex PauseMutex;
  std::condition_variable PauseWake;
};

}  // namespace corvina
