#pragma once
// A source of whole IPv4 packets to and from one local address: the link-layer
// header is gone, so every packet begins with its IPv4 header.
//
// Opening follows the steps of a raw socket: Startup, Open, Bind to the local
// address, Activate (receive everything that passes it). Each step answers 0
// or an errno-style code, with ErrorText describing the failure.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "framework/DateTime.h"

namespace corvina {

class IPacketSource {
 public:
  virtual ~IPacketSource() = default;

  virtual int Startup() = 0;
  virtual int Open() = 0;
  virtual int Bind(const std::string& localAddress) = 0;
  virtual int Activate() = 0;
  virtual std::string ErrorText() const = 0;

  // Hands over the packets that are ready, in order: each whole IPv4 packet
  // with the local time it was received. The sink answers false when it can
  // take no more; the rest stay queued for the next call.
  using TPacketSink = std::function<bool(const std::uint8_t* packet, int length, TDateTime time)>;

  // Waits (a short while at most) for packets and gives the sink every one
  // that is ready, up to maxPackets. Answers how many it gave, 0 when the wait
  // ended without one (time-out, Close, only frames that are not IPv4), or -1
  // on a receive error.
  virtual int Receive(const TPacketSink& sink, int maxPackets) = 0;

  // Any thread, any number of times: a blocked Receive returns at once and
  // every later one answers 0. The system resources go with the object.
  virtual void Close() = 0;

  // A number that identifies the source to event handlers; -1 when none.
  virtual int Handle() const = 0;
  // Packets the kernel dropped since Activate; readable from any thread.
  virtual std::uint64_t KernelDropped() const = 0;
};

// Live capture on the interface that holds the local address.
std::unique_ptr<IPacketSource> CreateLivePacketSource();
// Replays a capture file; Bind only records the address. Once the file is
// exhausted Receive waits like a silent interface until Close.
std::unique_ptr<IPacketSource> CreateFilePacketSource(const std::string& fileName);

}  // namespace corvina
