#include "platform/AdapterQuery.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

namespace corvina {
namespace {

std::mutex& QueryMutex() {
  static std::mutex m;
  return m;
}
TAdapterQuery& QueryOverride() {
  static TAdapterQuery query;
  return query;
}

std::string AddressText(const sockaddr* sa) {
  if (!sa || sa->sa_family != AF_INET) return "0.0.0.0";
  char buf[INET_ADDRSTRLEN] = "0.0.0.0";
  inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, buf, sizeof buf);
  return buf;
}

// The driver name as the kernel reports it (e1000e, virtio_net, veth, ...).
std::string DriverName(const std::string& ifname) {
  ethtool_drvinfo info{};
  info.cmd = ETHTOOL_GDRVINFO;
  ifreq req{};
  std::strncpy(req.ifr_name, ifname.c_str(), IFNAMSIZ - 1);
  req.ifr_data = reinterpret_cast<char*>(&info);
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd >= 0) {
    const bool ok = ioctl(fd, SIOCETHTOOL, &req) == 0;
    close(fd);
    if (ok && info.driver[0])
      return std::string(info.driver, strnlen(info.driver, sizeof info.driver));
  }
  std::error_code ec;
  const auto link =
      std::filesystem::read_symlink("/sys/class/net/" + ifname + "/device/driver", ec);
  if (!ec) return link.filename().string();
  return {};
}

std::string Describe(const std::string& ifname, unsigned flags) {
  std::string driver = DriverName(ifname);
  if (driver.empty() && (flags & IFF_LOOPBACK)) driver = "loopback";
  return driver.empty() ? ifname : ifname + " (" + driver + ")";
}

// An address label such as "eth0:1" belongs to the interface "eth0".
std::string InterfaceOfLabel(const char* label) {
  std::string name = label ? label : "";
  const size_t colon = name.find(':');
  return colon == std::string::npos ? name : name.substr(0, colon);
}

std::vector<TAdapterRecord> SystemQuery() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return {};
  std::map<int, TAdapterRecord> byIndex;  // ordered by interface index
  std::map<std::string, int> indexOfName;
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    // One entry per link, with its hardware address; a link without one
    // (tunnels, PPP) comes with no address at all and is listed all the same.
    if (a->ifa_addr && a->ifa_addr->sa_family != AF_PACKET) continue;
    const auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
    const int index = ll ? ll->sll_ifindex : int(if_nametoindex(a->ifa_name));
    if (index == 0) continue;  // gone meanwhile
    TAdapterRecord& r = byIndex[index];
    r.Name = a->ifa_name;
    if (ll) {
      r.HardwareAddressLength = std::min<unsigned>(ll->sll_halen, sizeof r.HardwareAddress);
      std::memcpy(r.HardwareAddress, ll->sll_addr, r.HardwareAddressLength);
    }
    r.Description = Describe(r.Name, a->ifa_flags);
    r.Running = (a->ifa_flags & IFF_UP) && (a->ifa_flags & IFF_RUNNING);
    indexOfName[r.Name] = index;
  }
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
    const auto it = indexOfName.find(InterfaceOfLabel(a->ifa_name));
    if (it == indexOfName.end()) continue;
    byIndex[it->second].Addresses.push_back(
        {AddressText(a->ifa_addr), AddressText(a->ifa_netmask)});
  }
  freeifaddrs(list);
  std::vector<TAdapterRecord> records;
  for (auto& [index, record] : byIndex) records.push_back(std::move(record));
  return records;
}

}  // namespace

std::vector<TAdapterRecord> QueryAdapters() {
  TAdapterQuery query;
  {
    std::lock_guard lock(QueryMutex());
    query = QueryOverride();
  }
  return query ? query() : SystemQuery();
}

void SetAdapterQuery(TAdapterQuery query) {
  std::lock_guard lock(QueryMutex());
  QueryOverride() = std::move(query);
}

}  // namespace corvina
