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
    if (r.Addresses.empty()) list.push_back({"0.0.0.0", "0.0.0.0", mac, description});
    for (const TAdapterIPv4& a : r.Addresses) list.push_back({a.Address, a.Mask, mac, description});
  }
  return list;
}

bool FindAdapterAddress(const std::string& macText, std::string& address) {
  address = "0.0.0.0";
  for (const TAdapterAddress& a : EnumAdapterAddresses()) {
    if (strcasecmp(a.MacAddress.c_str(), macText.c_str()) != 0) continue;
    address = a.Address;
    return address != "0.0.0.0";
  }
  return false;
}

}  // namespace corvina
