#pragma once
// The machine's network adapters and the look-up of an adapter's current
// IPv4 address by the key the settings remember it by.

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
  std::string Name;         // the system's interface name
  bool operator==(const TAdapterAddress&) const = default;
};

constexpr std::size_t kMaxAdapterDescription = 131;

// Adapters in a stable order, one entry per IPv4 address (one "0.0.0.0" entry
// for an adapter without IPv4, or that is down or has no carrier, as an
// unplugged adapter shows). Empty when the system query fails.
std::vector<TAdapterAddress> EnumAdapterAddresses();

// Two upper-case hexadecimal digits per byte joined by "-"; a length of 0
// gives "00-00-00-00-00-00". At most 8 bytes are used.
std::string MacToText(const std::uint8_t* bytes, std::size_t length);

// What the settings remember an adapter by: its hardware address text, or its
// interface name when the hardware address is all zeros (loopback, tunnels,
// PPP and VPN links), since those would all read the same.
std::string AdapterBindKey(const TAdapterAddress& adapter);

// Looks up the adapter that a key names: a hardware address text (any letter
// case; several interfaces may share one: bridges, bonds, VLANs) or an
// interface name. True and the first address, by interface order, that one of
// them holds; but `keep` when one of them still holds it, so an address added
// beside the one in use changes nothing. Else false and "0.0.0.0".
bool FindAdapterAddress(const std::string& bindKey, std::string& address,
                        const std::string& keep = {});

}  // namespace corvina
