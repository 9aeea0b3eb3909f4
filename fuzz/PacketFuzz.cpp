// A captured frame of any link type we accept, taken apart the way the live
// capture and the capture thread do it: link-layer header, IPv4 length,
// decoding and drop rules, the byte dump and the dump file's record.
//
// Input: one byte choosing the link type, four bytes of local address, the frame.

#include <pcap/dlt.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

#include "capture/PacketDump.h"
#include "capture/SnifferThread.h"
#include "fuzz/FuzzCheck.h"
#include "platform/LinkLayer.h"

using namespace corvina;

namespace {

constexpr int kLinkTypes[] = {DLT_EN10MB, DLT_NULL,      DLT_LOOP,      DLT_RAW,
                              DLT_IPV4,   DLT_LINUX_SLL, DLT_LINUX_SLL2};

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 128; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const int linkType = kLinkTypes[data[0] % std::size(kLinkTypes)];
  std::uint32_t localAddr;
  std::memcpy(&localAddr, data + 1, 4);
  // Copies of exact size, so a read past the frame or the packet is caught.
  const std::vector<std::uint8_t> frame(data + 5, data + size);
  const int length = int(frame.size());

  const int offset = IPv4Offset(linkType, frame.data(), length);
  if (offset < 0) return 0;
  FUZZ_CHECK(offset <= length);
  int n = IPv4Length(frame.data(), length, offset);
  FUZZ_CHECK(n >= 0 && n <= length - offset);
  n = std::min(n, TSnifferThread::kMaxPacketBytes);
  const std::vector<std::uint8_t> packet(frame.begin() + offset, frame.begin() + offset + n);

  // The remote address is excluded when its first octet is odd: both answers get exercised.
  const auto excluded = [](std::uint32_t remote) { return (remote & 1) != 0; };
  TSnifferProtocolData decoded;
  const bool deliver = DecodePacket(packet.data(), n, localAddr, excluded, decoded);
  FUZZ_CHECK(decoded.ipPacketSize == n);
  if (deliver) {
    FUZZ_CHECK(decoded.ipType != sptUnknown && decoded.ipDirection != sdtUnknown);
    FUZZ_CHECK(decoded.ipSourceAddr == localAddr || decoded.ipDestinationAddr == localAddr);
  }

  decoded.ipDumpString = BuildDumpString(packet.data(), n);
  const int lines = (n + 15) / 16;
  FUZZ_CHECK(decoded.ipDumpString.size() == std::size_t(lines * 63 + n + 2));
  FUZZ_CHECK(decoded.ipDumpString.ends_with("\r\n"));
  const std::string record = FormatPacketDumpRecord(decoded, 39448.5, TFormatSettings::Russian());
  FUZZ_CHECK(IsAscii(record));
  FUZZ_CHECK(record.ends_with(std::string(66, '-') + "\r\n\r\n"));
  return 0;
}
