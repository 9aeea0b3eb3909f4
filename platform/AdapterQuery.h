#pragma once
// The platform's view of the network adapters: for each adapter in a stable
// order, its IPv4 addresses with masks, its hardware address and a description.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvina {

struct TAdapterIPv4 {
  std::string Address;  // dotted decimal
  std::string Mask;
};

struct TAdapterRecord {
  std::string Name;  // the system's interface name
  std::vector<TAdapterIPv4> Addresses;
  std::uint8_t HardwareAddress[8] = {};
  unsigned HardwareAddressLength = 0;
  std::string Description;
  // Up and with a carrier. The addresses of a link that is not cannot carry
  // traffic; a table of test adapters leaves them all running.
  bool Running = true;
};

using TAdapterQuery = std::function<std::vector<TAdapterRecord>()>;

std::vector<TAdapterRecord> QueryAdapters();
// Tests replace the system query by a table; an empty function restores it.
void SetAdapterQuery(TAdapterQuery query);

}  // namespace corvina
