// Decoding received bytes: header fields, direction, drop rules in order,
// transport fields read only from received bytes, and the dump text layout.

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "capture/MemoryPacketSource.h"
#include "capture/PacketDecoder.h"
#include "capture/SnifferIPRange.h"

using namespace corvina;
using corvina::test::MakePacket;

namespace {

constexpr std::uint8_t kLocal[4] = {192, 168, 0, 2};
constexpr std::uint8_t kRemote[4] = {192, 168, 0, 5};
constexpr std::uint8_t kOther[4] = {10, 0, 0, 9};
const std::uint32_t kLocalAddr = RangeTextToAddr("192.168.0.2");

bool Decode(const std::vector<std::uint8_t>& p, TSnifferProtocolData& data,
            const TRemoteExcluded& excluded = {}) {
  return DecodePacket(p.data(), int(p.size()), kLocalAddr, excluded, data);
}

}  // namespace

TEST(PacketDecoder, HeaderFieldsAndPortsKeepPacketByteOrder) {
  auto p = MakePacket(1500, 6, kRemote, kLocal);
  p[8] = 117;
  p[20] = 0x1F;  // source port 8080
  p[21] = 0x90;
  p[22] = 0x00;  // destination port 80
  p[23] = 0x50;
  TSnifferProtocolData data;
  ASSERT_TRUE(Decode(p, data));
  EXPECT_EQ(data.ipType, sptTCP);
  EXPECT_EQ(data.ipDirection, sdtIncoming);
  EXPECT_EQ(data.ipTTL, 117);
  EXPECT_EQ(data.ipSource, "192.168.0.5");
  EXPECT_EQ(data.ipDestination, "192.168.0.2");
  EXPECT_EQ(data.ipDestinationAddr, kLocalAddr);
  EXPECT_EQ(data.ipPacketSize, 1500);
  const std::uint8_t* port = reinterpret_cast<const std::uint8_t*>(&data.ipDestinationPort);
  EXPECT_EQ(port[0], 0x00);
  EXPECT_EQ(port[1], 0x50);
  EXPECT_EQ(ntohs(data.ipSourcePort), 8080);
  EXPECT_TRUE(data.ipDumpString.empty());
}

TEST(PacketDecoder, DirectionAndTheDropRules) {
  TSnifferProtocolData data;
  EXPECT_TRUE(Decode(MakePacket(21, 17, kLocal, kLocal), data));
  EXPECT_EQ(data.ipDirection, sdtOutgoing);  // self to self counts outgoing
  EXPECT_EQ(data.ipType, sptUDP);

  EXPECT_FALSE(Decode(MakePacket(40, 6, kRemote, kOther), data));
  EXPECT_EQ(data.ipDirection, sdtUnknown);
  EXPECT_FALSE(Decode(MakePacket(40, 2, kRemote, kLocal), data));  // IGMP
  EXPECT_EQ(data.ipDirection, sdtIncoming);
  EXPECT_EQ(data.ipType, sptUnknown);
  EXPECT_FALSE(Decode(MakePacket(40, 47, kLocal, kRemote), data));  // GRE
}

TEST(PacketDecoder, ExcludedRemoteDropsInBothDirectionsButTheLocalAddressIsNeverTested) {
  std::vector<std::uint32_t> tested;
  const TRemoteExcluded excludeRemote = [&](std::uint32_t a) {
    tested.push_back(a);
    return a == RangeTextToAddr("192.168.0.5");
  };
  TSnifferProtocolData data;
  EXPECT_FALSE(Decode(MakePacket(60, 6, kRemote, kLocal), data, excludeRemote));
  EXPECT_FALSE(Decode(MakePacket(60, 6, kLocal, kRemote), data, excludeRemote));
  EXPECT_TRUE(Decode(MakePacket(60, 6, kOther, kLocal), data, excludeRemote));
  EXPECT_TRUE(Decode(MakePacket(60, 6, kLocal, kLocal), data, excludeRemote));
  // The local address is tested only as the destination of the self-to-self packet.
  EXPECT_EQ(std::count(tested.begin(), tested.end(), kLocalAddr), 1);
  // Unknown direction is dropped before any range test.
  tested.clear();
  Decode(MakePacket(60, 6, kRemote, kOther), data, excludeRemote);
  EXPECT_TRUE(tested.empty());
}

TEST(PacketDecoder, EchoFlagsAndPortsComeAfterTheStatedHeaderLength) {
  TSnifferProtocolData data;
  auto echo = MakePacket(28, 1, kRemote, kLocal);
  echo[20] = 8;
  ASSERT_TRUE(Decode(echo, data));
  EXPECT_TRUE(data.ipEchoRequest);
  EXPECT_FALSE(data.ipEchoReply);
  echo[20] = 0;
  Decode(echo, data);
  EXPECT_TRUE(data.ipEchoReply);

  // A 24-byte header (one option word): the transport starts at byte 24.
  auto withOptions = MakePacket(32, 17, kRemote, kLocal);
  withOptions[0] = 0x46;
  withOptions[20] = 0x94;  // option bytes, not ports
  withOptions[24] = 0x00;
  withOptions[25] = 0x35;
  withOptions[26] = 0x12;
  withOptions[27] = 0x34;
  ASSERT_TRUE(Decode(withOptions, data));
  EXPECT_EQ(ntohs(data.ipSourcePort), 53);
  EXPECT_EQ(ntohs(data.ipDestinationPort), 0x1234);
}

TEST(PacketDecoder, ShortPacketsLeaveUnreceivedFieldsZero) {
  // The buffer behind the 21 received bytes holds an older packet's ports.
  std::vector<std::uint8_t> buffer(64, 0xEE);
  auto p = MakePacket(21, 6, kRemote, kLocal);
  p[20] = 0x12;
  std::copy(p.begin(), p.end(), buffer.begin());
  TSnifferProtocolData data;
  ASSERT_TRUE(DecodePacket(buffer.data(), 21, kLocalAddr, {}, data));
  EXPECT_EQ(data.ipSourcePort, 0);
  EXPECT_EQ(data.ipDestinationPort, 0);
  EXPECT_EQ(data.ipPacketSize, 21);

  auto icmp = MakePacket(24, 1, kRemote, kLocal);
  icmp[0] = 0x46;  // the ICMP type would be byte 24, which was not received
  std::vector<std::uint8_t> stale(64, 8);
  std::copy(icmp.begin(), icmp.end(), stale.begin());
  ASSERT_TRUE(DecodePacket(stale.data(), 24, kLocalAddr, {}, data));
  EXPECT_FALSE(data.ipEchoRequest);
  EXPECT_FALSE(data.ipEchoReply);
}

namespace {

std::vector<std::uint8_t> Bytes(int n, std::uint8_t first = 0x41) {
  std::vector<std::uint8_t> b(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) b[std::size_t(i)] = std::uint8_t(first + i);
  return b;
}

std::string Dump(const std::vector<std::uint8_t>& b) {
  return BuildDumpString(b.data(), int(b.size()));
}

}  // namespace

TEST(PacketDecoder, DumpOf21BytesPadsTheShortLastLine) {
  EXPECT_EQ(Dump(Bytes(21)),
            "000000 41 42 43 44 45 46 47 48 | 49 4A 4B 4C 4D 4E 4F 50     ABCDEFGHIJKLMNOP\r\n"
            "000010 51 52 53 54 55 " +
                std::string(39, ' ') + "QRSTU\r\n\r\n");
}

TEST(PacketDecoder, DumpOf24And32Bytes) {
  EXPECT_EQ(Dump(Bytes(24)),
            "000000 41 42 43 44 45 46 47 48 | 49 4A 4B 4C 4D 4E 4F 50     ABCDEFGHIJKLMNOP\r\n"
            "000010 51 52 53 54 55 56 57 58 " +
                std::string(30, ' ') + "QRSTUVWX\r\n\r\n");
  const std::string d32 = Dump(Bytes(32, 0x30));
  EXPECT_EQ(
      d32,
      "000000 30 31 32 33 34 35 36 37 | 38 39 3A 3B 3C 3D 3E 3F     0123456789:;<=>?\r\n"
      "000010 40 41 42 43 44 45 46 47 | 48 49 4A 4B 4C 4D 4E 4F     @ABCDEFGHIJKLMNO\r\n\r\n");
}

TEST(PacketDecoder, DumpLineNumbersGrowByTenAndCharacterColumnBounds) {
  std::vector<std::uint8_t> b(16 * 11, 0x2E);
  b[0] = 0x18;
  b[1] = 0x19;
  b[2] = 0x7F;
  b[3] = 0x80;
  b[4] = 0xFF;
  const std::string d = Dump(b);
  EXPECT_EQ(d.substr(0, 7), "000000 ");
  EXPECT_NE(d.find("\r\n000090 "), std::string::npos);
  EXPECT_NE(d.find("\r\n000100 "), std::string::npos);
  // Each byte is followed by a space; then four more before the column.
  const std::size_t column = d.find("     ") + 5;
  EXPECT_EQ(d.substr(column, 5), std::string(".\x19\x7F..", 5));
  EXPECT_EQ(d.substr(d.size() - 4), "\r\n\r\n");
}
