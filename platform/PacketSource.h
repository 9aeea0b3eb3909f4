#pragma once
// A source of whole IPv4 packets to and from one local address: the link-layer
// header is gone, so every packet begins with its IPv4 header.
//
// Opening follows the steps of a raw socket: Startup, Open, Bind to the local
// address, Activate (receive everything that passes it). Each step answers 0
// or an errno-style code, with ErrorText describing the failure.

#include <cstdint>
#include <memory>
#include <string>

namespace corvina {

class IPacketSource {
 public:
  virtual ~IPacketSource() = default;

  virtual int Startup() = 0;
  virtual int Open() = 0;
  virtual int Bind(const std::string& localAddress) = 0;
  virtual int Activate() = 0;
  virtual std::string ErrorText() const = 0;

  // Waits for the next packet and copies it into buffer. Answers its length
  // (cut to size), 0 when the wait ended without one (time-out, Close, a frame
  // that is not IPv4), or -1 on a receive error.
  virtual int Receive(std::uint8_t* buffer, int size) = 0;

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
