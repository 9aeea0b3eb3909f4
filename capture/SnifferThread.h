#pragma once
// The capture thread: opens a packet source on the owner's local address,
// decodes every received packet and hands the delivered ones to the owner on
// the main thread, a batch at a time.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture/PacketDecoder.h"
#include "framework/Thread.h"
#include "platform/PacketSource.h"

namespace corvina {

class TSnifferProtocolObject;

class TSnifferThread : public TThread {
 public:
  // Bounds of one hand-over. A main thread that falls behind leaves the
  // packets waiting in the kernel's ring, never in our memory.
  static constexpr int kMaxBatchPackets = 8192;
  // The most of one packet that is decoded and dumped.
  static constexpr int kMaxPacketBytes = 65536;
  static constexpr std::size_t kMaxBatchBytes = 4 << 20;

  // Reads Owner's LocalAddress now; the thread is created suspended.
  TSnifferThread(TSnifferProtocolObject& Owner, std::unique_ptr<IPacketSource> Source);
  ~TSnifferThread() override;

  // Main thread: tells the thread to end and finishes the capture at once, so
  // the owner hears DoStop before this returns and a blocked receive wakes.
  void Stop();
  std::uint64_t KernelDropped() const;

 protected:
  void Execute() override;

 private:
  bool InitSocket();
  // Decodes one received packet into the batch; false once the batch is full.
  bool TakePacket(const std::uint8_t* packet, int n, TDateTime time);
  // Runs once per thread, on whichever side gets there first.
  void FinishCapture(int Code);
  void ReportError(int Code);
  void CloseSource();
  // The capture thread, on its way out: the ring and the filter go now, not
  // when the ended thread is reaped.
  void ReleaseSource();

  void SyncStarted();
  void SyncStopped();
  void SyncError();
  void SyncPackets();

  TSnifferProtocolObject& Owner;
  int ErrorCode = 0;
  std::string ErrorText;
  // Guards Source against its release while the main thread reads it.
  mutable std::mutex SourceMutex;
  std::unique_ptr<IPacketSource> Source;
  std::uint64_t ReleasedDropped = 0;
  std::atomic<int> Handle{-1};
  std::string LocalAddress;
  std::uint32_t LocalAddr = 0;
  TRemoteExcluded Excluded;
  // The batch being filled or delivered: decoded packets and their bytes,
  // kept for the dump text, which is built only while the dump is on.
  std::vector<TSnifferProtocolData> Batch;
  std::vector<std::size_t> BatchOffsets;
  std::vector<std::uint8_t> BatchBytes;
  int BatchCount = 0;
  // The last delivered packet, touched only on the main thread: what DoStart
  // and DoStop are given.
  TSnifferProtocolData Delivered;
  std::atomic<bool> Finishing{false};
};

// The system's text without trailing blanks, line breaks and dots.
std::string TrimErrorText(const std::string& text);

}  // namespace corvina
