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

bool DecodePacket(const std::uint8_t* packet, int n, std::uint32_t localAddr, const TRemoteExcluded& excluded,
                  TSnifferProtocolData& data) {
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
  const std::uint32_t remote = data.ipDirection == sdtIncoming ? data.ipSourceAddr : data.ipDestinationAddr;
  if (excluded && excluded(remote)) return false;
  return data.ipType != sptUnknown;
}

std::string BuildDumpString(const std::uint8_t* packet, int n) {
  std::string text;
  text.reserve(std::size_t(n / 16 + 1) * 80 + 2);
  char field[16];
  for (int lineStart = 0; lineStart < n; lineStart += 16) {
    const int m = n - lineStart < 16 ? n - lineStart : 16;
    std::snprintf(field, sizeof field, "%.6d ", lineStart / 16 * 10);
    text += field;
    for (int i = 0; i < m; ++i) {
      std::snprintf(field, sizeof field, "%02X ", packet[lineStart + i]);
      text += field;
      if (i == 7 && m > 8) text += "| ";
    }
    // Pads a short last line so every character column starts in one place.
    text.append(std::size_t(3 * (16 - m) + (m <= 8 ? 2 : 0) + 4), ' ');
    for (int i = 0; i < m; ++i) {
      const std::uint8_t b = packet[lineStart + i];
      text += (b >= 25 && b <= 127) ? char(b) : '.';
    }
    text += "\r\n";
  }
  text += "\r\n";
  return text;
}

}  // namespace corvina
