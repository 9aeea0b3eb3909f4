#pragma once
// The adapter watch: once a second looks up the chosen adapter's address and
// starts, restarts or stops the capture to follow it.

#include <condition_variable>
#include <mutex>

#include "framework/Thread.h"

namespace corvina {

class TSnifferProtocolObject;

class TSnifferHostEnabledThread : public TThread {
 public:
  explicit TSnifferHostEnabledThread(TSnifferProtocolObject& Owner);
  ~TSnifferHostEnabledThread() override;

  // The owner is going away: end without waiting out the current pause.
  void Abandon();

 protected:
  void Execute() override;

 private:
  void Pass();
  void Pause();

  TSnifferProtocolObject& Owner;
  std::mutex PauseMutex;
  std::condition_variable PauseWake;
  bool Abandoned = false;
};

}  // namespace corvina
