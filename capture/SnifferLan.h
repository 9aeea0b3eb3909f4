#pragma once
// The packet consumer: owns the excluded ranges and the dump switch, switches
// the capture machinery on and off, and turns the notifications of its
// capture thread and adapter watch into events. Everything here runs on the
// main thread; the workers reach it only through Synchronize.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture/PacketDecoder.h"
#include "capture/SnifferIPRange.h"
#include "framework/DateTime.h"
#include "platform/PacketSource.h"

namespace corvina {

class TThread;
class TSnifferThread;
class TSnifferHostEnabledThread;

// The range list held under its owner's lock for as long as this object lives,
// so the capture thread never sees it half-changed.
class TLockedRanges {
 public:
  TLockedRanges(std::recursive_mutex& mutex, TSnifferIPRangeList& list)
      : lock_(mutex), list_(&list) {}
  TSnifferIPRangeList* operator->() const { return list_; }
  TSnifferIPRangeList& operator*() const { return *list_; }

 private:
  std::unique_lock<std::recursive_mutex> lock_;
  TSnifferIPRangeList* list_;
};

// PeriodStart while not capturing: 1 January 1900 00:00.
TDateTime NoPeriodStart();

class TSnifferProtocolObject {
 public:
  using TErrorEvent = std::function<void(TSnifferProtocolObject* Sender, int Socket, int ErrorCode,
                                         const std::string& ErrorText)>;
  using TPacketEvent = std::function<void(TSnifferProtocolObject* Sender, int Socket,
                                          const TSnifferProtocolData& Data)>;
  using TNotifyEvent = std::function<void(TSnifferProtocolObject* Sender)>;
  using TPacketSourceFactory = std::function<std::unique_ptr<IPacketSource>()>;

  TSnifferProtocolObject();
  virtual ~TSnifferProtocolObject();
  TSnifferProtocolObject(const TSnifferProtocolObject&) = delete;
  TSnifferProtocolObject& operator=(const TSnifferProtocolObject&) = delete;

  bool Active() const;
  void SetActive(bool Value);
  bool DumpEnabled() const;
  void SetDumpEnabled(bool Value);
  const std::string& DumpFileName() const { return DumpFileName_; }
  std::string AdapterMac() const;
  void SetAdapterMac(const std::string& Value);
  std::string LocalAddress() const;
  bool Capturing() const;
  TDateTime PeriodStart() const { return PeriodStart_; }
  TLockedRanges Ranges() { return TLockedRanges(Lock, Ranges_); }
  // Packets the kernel dropped during the current capture; 0 when none runs.
  std::uint64_t KernelDropped() const;
  // Where capture threads get their packets; live capture unless replaced.
  void SetPacketSourceFactory(TPacketSourceFactory factory) { SourceFactory_ = std::move(factory); }

  void StartWatch();
  void StopWatch();
  void StartCapture();
  void StopCapture();
  // True when time falls on a later date than the last counter reset; that
  // date and PeriodStart then move to it. A clock set back never resets.
  bool IsNewDay(TDateTime time);
  // Keeps the packet's record for the dump file while the dump is on;
  // FlushPacketDump appends the kept records with one write.
  void WritePacketDump(const TSnifferProtocolData& Data);
  void FlushPacketDump();

  TErrorEvent OnError;
  TPacketEvent OnStop;
  TPacketEvent OnStart;
  TPacketEvent OnPacket;
  TNotifyEvent OnStandby;

 protected:
  virtual void DoError(int Socket, int ErrorCode, const std::string& ErrorText);
  virtual void DoPacket(int Socket, const TSnifferProtocolData& Data);
  virtual void DoStart(int Socket, const TSnifferProtocolData& Data);
  virtual void DoStop(int Socket, const TSnifferProtocolData& Data);
  virtual void DoStandby();

  // Stops capture and watch and waits for every worker, so none can reach this
  // object afterwards. A derived destructor calls it first, while its own
  // event operations still exist.
  void Shutdown();

  // Guards Active, DumpEnabled, the counter reset, and the fields the workers
  // read: Ranges, AdapterMac, LocalAddress, Capturing.
  mutable std::recursive_mutex Lock;
  TDateTime PeriodStart_;
  // The date the day counters last started from; apart from PeriodStart,
  // which every capture start moves.
  TDateTime LastResetDate_;

 private:
  friend class TSnifferThread;
  friend class TSnifferHostEnabledThread;

  // For the capture thread: the range test under the lock.
  bool RemoteExcluded(std::uint32_t remote) const;
  // For the capture thread's start and stop notifications.
  void SetCapturing(bool value);
  // Destroys the workers that were let go and have ended.
  void ReapEnded();

  bool Active_ = false;
  bool DumpEnabled_ = false;
  bool Capturing_ = false;
  bool ShutDown_ = false;
  std::string DumpFileName_;
  std::string PendingDump_;
  std::string AdapterMac_;
  std::string LocalAddress_;
  TSnifferIPRangeList Ranges_;
  TPacketSourceFactory SourceFactory_;
  std::unique_ptr<TSnifferThread> CaptureThread;
  std::unique_ptr<TSnifferHostEnabledThread> WatchThread;
  // Workers told to end but not yet joined; they may still deliver calls.
  std::vector<std::unique_ptr<TThread>> Ended_;
};

}  // namespace corvina
