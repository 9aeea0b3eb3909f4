#pragma once
// The machine's network adapters and the look-up of an adapter's current
// IPv4 address by its hardware address.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvina {

struct TAdapterAddress {
  std::string Address;  // dotted IPv4, "0.0.0.0" for an adapter without one
  std::string Mask;
  std::string MacAddress;   // as MacToText gives it
  std::string Description;  // at most 131 characters
  bool operator==(const TAdapterAddress&) const = default;
};

constexpr std::size_t kMaxAdapterDescription = 131;

// Adapters in a stable order, one entry per IPv4 address (one "0.0.0.0" entry
// for an adapter without IPv4). Empty when the system query fails.
std::vector<TAdapterAddress> EnumAdapterAddresses();

// Two upper-case hexadecimal digits per byte joined by "-"; a length of 0
// gives "00-00-00-00-00-00". At most 8 bytes are used.
std::string MacToText(const std::uint8_t* bytes, std::size_t length);

// True and the adapter's first address when an adapter with that hardware
// address (any letter case) has an address other than "0.0.0.0". Address is
// "0.0.0.0" when no adapter has it, else the found address.
bool FindAdapterAddress(const std::string& macText, std::string& address);

}  // namespace corvina
