// The address texts of an excluded range, as the settings file holds them:
// read into the range list and tested against addresses the way the capture
// thread does, checked against a plain reading of the same text.
//
// Input: the start text, a line break, the end text; the last four bytes
// (when the texts leave them) are an address to test.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "capture/PacketDecoder.h"
#include "capture/SnifferIPRange.h"
#include "fuzz/FuzzCheck.h"

using namespace corvina;

namespace {

constexpr std::uint32_t kInvalid = 0xFFFFFFFFu;

// Four groups of one or more decimal digits, each 0..255, joined by ".".
std::uint32_t PlainReading(const std::string& text) {
  std::uint8_t octets[4];
  std::size_t at = 0;
  for (int group = 0; group < 4; ++group) {
    if (group > 0 && (at >= text.size() || text[at++] != '.')) return kInvalid;
    const std::size_t digits = text.find_first_not_of("0123456789", at);
    const std::size_t end = digits == std::string::npos ? text.size() : digits;
    if (end == at) return kInvalid;
    unsigned value = 0;
    for (; at < end; ++at) {
      value = value * 10 + unsigned(text[at] - '0');
      if (value > 255) return kInvalid;
    }
    octets[group] = std::uint8_t(value);
  }
  if (at != text.size()) return kInvalid;
  std::uint32_t address;
  std::memcpy(&address, octets, 4);
  return address;
}

bool OctetsWithin(std::uint32_t address, std::uint32_t start, std::uint32_t end) {
  std::uint8_t a[4], s[4], e[4];
  std::memcpy(a, &address, 4);
  std::memcpy(s, &start, 4);
  std::memcpy(e, &end, 4);
  for (int i = 0; i < 4; ++i)
    if (a[i] < s[i] || a[i] > e[i]) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(data), size);
  std::uint32_t probe = 0x0100000A;  // 10.0.0.1
  if (input.size() >= 4) {
    std::memcpy(&probe, input.data() + input.size() - 4, 4);
    input.resize(input.size() - 4);
  }
  const std::size_t newline = input.find('\n');
  const std::string startText = input.substr(0, newline);
  const std::string endText = newline == std::string::npos ? "" : input.substr(newline + 1);

  const std::uint32_t start = RangeTextToAddr(startText);
  const std::uint32_t end = RangeTextToAddr(endText);
  FUZZ_CHECK(start == PlainReading(startText));
  FUZZ_CHECK(end == PlainReading(endText));
  // Any address the reader gives comes back from its dotted text.
  FUZZ_CHECK(RangeTextToAddr(AddrToText(start)) == start);

  TSnifferIPRangeList list;
  FUZZ_CHECK(list.AddRange(startText, endText) == 0);
  FUZZ_CHECK((list.Get(0) == TSnifferIPRange{start, end}));
  FUZZ_CHECK(IPInRange(probe, start, end) == OctetsWithin(probe, start, end));
  FUZZ_CHECK(IPInRange(start, start, end) == OctetsWithin(start, start, end));
  list.Delete(0);
  FUZZ_CHECK(list.Count() == 0);
  return 0;
}
