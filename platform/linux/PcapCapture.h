#pragma once
// libpcap on the interface that holds a local address, or on a capture file,
// handing over whole IPv4 packets: the link-layer header is stripped and the
// padding of short frames cut.

#include <sys/time.h>

#include <cstdint>
#include <functional>
#include <string>

struct pcap;

namespace corvina {

class TPcapCapture {
 public:
  TPcapCapture() = default;
  ~TPcapCapture();
  TPcapCapture(const TPcapCapture&) = delete;
  TPcapCapture& operator=(const TPcapCapture&) = delete;

  // Each step answers 0 or an errno-style code; ErrorText then holds
  // libpcap's text, or nothing when the system's text of the code says it.
  static int Startup(std::string& errorText);
  // Live capture of the IPv4 packets to or from localAddress, non-blocking.
  // The filter is locked: whoever holds the socket cannot widen it.
  int OpenLive(const std::string& localAddress);
  int OpenFile(const std::string& fileName);
  const std::string& ErrorText() const { return errorText_; }
  // The descriptor that turns readable when packets are ready.
  int SelectableFd() const;

  using TSink = std::function<bool(const std::uint8_t* packet, int length, const timeval& stamp)>;
  // Gives the sink every ready packet, up to maxPackets, until it answers
  // false (it took that one). Answers the frames read, other than IPv4
  // included (0 when none was ready or the file has ended), or -1 on a read
  // error; given counts the packets handed over.
  int Dispatch(const TSink& sink, int maxPackets, int& given);
  // What the kernel dropped since the capture opened; false when that is
  // not known (a file has no such count).
  bool KernelDropped(std::uint64_t& dropped);

 private:
  int Fail(int code, const std::string& text);
  int FailPcap(int code);

  pcap* pcap_ = nullptr;
  std::string errorText_;
};

}  // namespace corvina
