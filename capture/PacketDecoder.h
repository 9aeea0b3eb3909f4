#pragma once
// One decoded IPv4 packet and the pure steps that make it from received bytes:
// the header fields, the direction against the local address, the drop rules
// and the hexadecimal dump text.

#include <cstdint>
#include <functional>
#include <string>

#include "framework/DateTime.h"

namespace corvina {

enum TSnifferProtocolType : std::uint8_t { sptUnknown = 0, sptICMP = 1, sptUDP = 2, sptTCP = 3 };
enum TSnifferDirectionType : std::uint8_t { sdtUnknown = 0, sdtIncoming = 1, sdtOutgoing = 2 };

extern const char* const SnifferProtocolTypeNames[4];
extern const char* const SnifferDirectionTypeNames[3];

struct TSnifferProtocolData {
  TSnifferProtocolType ipType = sptUnknown;
  TSnifferDirectionType ipDirection = sdtUnknown;
  std::uint8_t ipTTL = 0;
  std::uint32_t ipSourceAddr = 0;  // network byte order
  std::uint32_t ipDestinationAddr = 0;
  std::string ipSource = "0.0.0.0";
  std::string ipDestination = "0.0.0.0";
  std::int32_t ipPacketSize = 0;
  std::string ipDumpString;
  bool ipEchoRequest = false;
  bool ipEchoReply = false;
  std::uint16_t ipSourcePort = 0;  // the two packet bytes as they are, not converted
  std::uint16_t ipDestinationPort = 0;
  // Local time the packet was received; what its sample and row are stamped with.
  TDateTime ipTime = 0;
};

// Packets of up to this many bytes carry no payload worth decoding.
constexpr int kMinDecodedSize = 21;

// Dotted decimal text of an address in network byte order.
std::string AddrToText(std::uint32_t address);

// Answers whether a remote address lies in an excluded range.
using TRemoteExcluded = std::function<bool(std::uint32_t remote)>;

// Decodes the n received bytes of an IPv4 packet into data and applies the drop
// rules; true when the packet is to be delivered. The dump text is left empty.
// Only received bytes are read; the transport header is taken after the header
// length the packet states.
bool DecodePacket(const std::uint8_t* packet, int n, std::uint32_t localAddr,
                  const TRemoteExcluded& excluded, TSnifferProtocolData& data);

// Lines of 16 bytes: a number that grows by 10 per line, the bytes in
// hexadecimal with "| " after the eighth, and a character column; CR LF line
// ends and one empty line at the end.
std::string BuildDumpString(const std::uint8_t* packet, int n);

}  // namespace corvina
