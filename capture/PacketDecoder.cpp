#include "capture/PacketDecoder.h"

#include <cstdio>
#include <cstring>

namespace corvina {

const char* const SnifferProtocolTypeNames[4] = {"sptUnknown", "sptICMP", "sptUDP", "sptTCP"};
const char* const SnifferDirectionTypeNames[3] = {"sdtUnknown", "sdtIncoming", "sdtOutgoing"};

std::string AddrToText(std::uint32_t address) {
  std::uint8_t b[4];
  std::memcpy(b, &address, 4);
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return text;
}

namespace {

std::uint32_t Read32(const std::uint8_t* p) {
  std::uint32_t value;
  std::memcpy(&value, p, 4);
  return value;
}

std::uint16_t Read16(const std::uint8_t* p) {
  std::uint16_t value;
  std::memcpy(&value, p, 2);
  return value;
}

}  // namespace

bool DecodePacket(const std::uint8_t* packet, int n, std::uint32_t localAddr,
                  const TRemoteExcluded& excluded, TSnifferProtocolData& data) {
  data = TSnifferProtocolData{};
  data.ipPacketSize = n;
  if (n < 20) return false;
  data.ipTTL = packet[8];
  data.ipSourceAddr = Read32(packet + 12);
  data.ipSource = AddrToText(data.ipSourceAddr);
  data.ipDestinationAddr = Read32(packet + 16);
  data.ipDestination = AddrToText(data.ipDestinationAddr);
  if (data.ipDestinationAddr == localAddr) data.ipDirection = sdtIncoming;
  if (data.ipSourceAddr == localAddr) data.ipDirection = sdtOutgoing;

  // Options lengthen the header; a stated length below the minimum is taken as 20.
  int transport = (packet[0] & 0x0F) * 4;
  if (transport < 20) transport = 20;
  const int available = n - transport;
  switch (packet[9]) {
    case 1:
      data.ipType = sptICMP;
      if (available >= 1) {
        data.ipEchoRequest = packet[transport] == 8;
        data.ipEchoReply = packet[transport] == 0;
      }
      break;
    case 6:
    case 17:
      data.ipType = packet[9] == 6 ? sptTCP : sptUDP;
      if (available >= 2) data.ipSourcePort = Read16(packet + transport);
      if (available >= 4) data.ipDestinationPort = Read16(packet + transport + 2);
      break;
    default:
      break;
  }

  if (data.ipDirection == sdtUnknown) return false;
  const std::uint32_t remote =
      data.ipDirection == sdtIncoming ? data.ipSourceAddr : data.ipDestinationAddr;
  if (excluded && excluded(remote)) return false;
  return data.ipType != sptUnknown;
}

std::string BuildDumpString(const std::uint8_t* packet, int n) {
  // Built for every delivered packet: written straight into its final size.
  // Every line, short or full, is 63 characters plus one per byte.
  static const char kHex[] = "0123456789ABCDEF";
  const int lines = (n + 15) / 16;
  std::string text(std::size_t(lines * 63 + n + 2), ' ');
  char* out = text.data();
  for (int k = 0; k < lines; ++k) {
    const std::uint8_t* line = packet + k * 16;
    const int m = n - k * 16 < 16 ? n - k * 16 : 16;
    char number[16];
    const int digits = std::snprintf(number, sizeof number, "%.6d ", k * 10);
    std::memcpy(out, number, std::size_t(digits));
    char* hex = out + digits;
    for (int i = 0; i < m; ++i) {
      hex[0] = kHex[line[i] >> 4];
      hex[1] = kHex[line[i] & 0x0F];
      hex += i == 7 && m > 8 ? 5 : 3;  // "| " after the eighth byte when more follow
      if (i == 7 && m > 8) hex[-2] = '|';
    }
    // The padding is already blanks; the character column starts at a fixed place.
    char* column = out + digits + 16 * 3 + 2 + 4;
    for (int i = 0; i < m; ++i) column[i] = (line[i] >= 25 && line[i] <= 127) ? char(line[i]) : '.';
    column[m] = '\r';
    column[m + 1] = '\n';
    out = column + m + 2;
  }
  out[0] = '\r';
  out[1] = '\n';
  return text;
}

}  // namespace corvina
