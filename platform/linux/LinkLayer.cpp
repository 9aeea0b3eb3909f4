#include "platform/LinkLayer.h"

#include <arpa/inet.h>
#include <pcap/pcap.h>

#include <cstring>

namespace corvina {
namespace {

std::uint16_t Read16BE(const std::uint8_t* p) { return std::uint16_t(p[0] << 8 | p[1]); }

bool IsVlanTag(std::uint16_t etherType) {
  return etherType == 0x8100 || etherType == 0x88A8 || etherType == 0x9100;
}

}  // namespace

int IPv4Offset(int linkType, const std::uint8_t* frame, int length) {
  switch (linkType) {
    case DLT_EN10MB: {
      int offset = 12;
      while (offset + 2 <= length && IsVlanTag(Read16BE(frame + offset))) offset += 4;
      if (offset + 2 > length || Read16BE(frame + offset) != 0x0800) return -1;
      return offset + 2;
    }
    case DLT_NULL:
    case DLT_LOOP: {
      if (length < 4) return -1;
      std::uint32_t family;
      std::memcpy(&family, frame, 4);
      // The family is in the writer's byte order for NULL, network order for LOOP.
      return (family == 2 || ntohl(family) == 2 || __builtin_bswap32(family) == 2) ? 4 : -1;
    }
    case DLT_RAW:
    case DLT_IPV4:
      return length >= 1 && (frame[0] >> 4) == 4 ? 0 : -1;
    case DLT_LINUX_SLL:
      return length >= 16 && Read16BE(frame + 14) == 0x0800 ? 16 : -1;
    case DLT_LINUX_SLL2:
      return length >= 20 && Read16BE(frame) == 0x0800 ? 20 : -1;
    default:
      return -1;
  }
}

int IPv4Length(const std::uint8_t* frame, int length, int offset) {
  int ipLength = length - offset;
  if (ipLength >= 4) {
    const int stated = Read16BE(frame + offset + 2);
    if (stated >= 20 && stated < ipLength) ipLength = stated;
  }
  return ipLength;
}

}  // namespace corvina
