#include "netinfo/LanApi.h"

#include <strings.h>

#include <cstdio>

#include "platform/AdapterQuery.h"

namespace corvina {

std::string MacToText(const std::uint8_t* bytes, std::size_t length) {
  if (length == 0 || !bytes) return "00-00-00-00-00-00";
  if (length > 8) length = 8;
  std::string text;
  char group[4];
  for (std::size_t i = 0; i < length; ++i) {
    std::snprintf(group, sizeof group, i ? "-%02X" : "%02X", bytes[i]);
    text += group;
  }
  return text;
}

std::vector<TAdapterAddress> EnumAdapterAddresses() {
  std::vector<TAdapterAddress> list;
  for (const TAdapterRecord& r : QueryAdapters()) {
    const std::string mac = MacToText(r.HardwareAddress, r.HardwareAddressLength);
    const std::string description = r.Description.substr(0, kMaxAdapterDescription);
    if (!r.Running || r.Addresses.empty()) {
      list.push_back({"0.0.0.0", "0.0.0.0", mac, description, r.Name});
      continue;
    }
    for (const TAdapterIPv4& a : r.Addresses)
      list.push_back({a.Address, a.Mask, mac, description, r.Name});
  }
  return list;
}

std::string AdapterBindKey(const TAdapterAddress& adapter) {
  const bool zeros = adapter.MacAddress.find_first_not_of("0-") == std::string::npos;
  return zeros ? adapter.Name : adapter.MacAddress;
}

bool FindAdapterAddress(const std::string& bindKey, std::string& address, const std::string& keep) {
  address = "0.0.0.0";
  for (const TAdapterAddress& a : EnumAdapterAddresses()) {
    const bool matches =
        strcasecmp(a.MacAddress.c_str(), bindKey.c_str()) == 0 || a.Name == bindKey;
    if (!matches || a.Address == "0.0.0.0") continue;
    if (a.Address == keep) {
      address = keep;
      break;
    }
    if (address == "0.0.0.0") address = a.Address;
  }
  return address != "0.0.0.0";
}

}  // namespace corvina
