#pragma once
// The capture thread: opens a packet source on the owner's local address,
// decodes every received packet and hands the delivered ones to the owner on
// the main thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "capture/PacketDecoder.h"
#include "framework/Thread.h"
#include "platform/PacketSource.h"

namespace corvina {

class TSnifferProtocolObject;

class TSnifferThread : public TThread {
 public:
  static constexpr int BufferSize = 65536;

  // Reads Owner's LocalAddress now; the thread is created suspended.
  TSnifferThread(TSnifferProtocolObject& Owner, std::unique_ptr<IPacketSource> Source);
  ~TSnifferThread() override;

  // Main thread: tells the thread to end and finishes the capture at once, so
  // the owner hears DoStop before this returns and a blocked receive wakes.
  void Stop();
  std::uint64_t KernelDropped() const { return Source->KernelDropped(); }

 protected:
  void Execute() override;

 private:
  bool InitSocket();
  void DecodePacket(int n);
  // Runs once per thread, on whichever side gets there first.
  void FinishCapture(int Code);
  void ReportError(int Code);

  void SyncStarted();
  void SyncStopped();
  void SyncError();
  void SyncPacket();

  TSnifferProtocolObject& Owner;
  int ErrorCode = 0;
  std::string ErrorText;
  std::unique_ptr<IPacketSource> Source;
  std::unique_ptr<std::uint8_t[]> Buffer;
  std::string LocalAddress;
  std::uint32_t LocalAddr = 0;
  TSnifferProtocolData Data;
  // The last delivered packet, touched only on the main thread: what DoStart
  // and DoStop are given.
  TSnifferProtocolData Delivered;
  std::atomic<bool> Finishing{false};
};

// The system's text without trailing blanks, line breaks and dots.
std::string TrimErrorText(const std::string& text);

}  // namespace corvina
