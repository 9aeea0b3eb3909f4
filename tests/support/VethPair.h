#pragma once
// Two network namespaces joined by a veth pair with fixed hardware addresses,
// for capture tests on real interfaces. The calling thread enters the first
// namespace, so workers it starts later capture there.

#include <memory>
#include <string>

#include "support/NetNs.h"

namespace corvina::test {

struct TVethPair {
  static constexpr const char* kLocalMac = "02-00-00-00-0C-01";
  static constexpr const char* kLocalAddress = "10.77.0.1";
  static constexpr const char* kPeerAddress = "10.77.0.2";

  explicit TVethPair(const std::string& tag = "capture") : local(tag + "-a"), peer(tag + "-b") {
    local.Run(
        "ip link add cap0 address 02:00:00:00:0c:01 type veth peer name cap1 address "
        "02:00:00:00:0c:02");
    local.Run("ip link set cap1 netns " + peer.Name());
    local.Run("ip addr add 10.77.0.1/24 dev cap0");
    local.Run("ip link set cap0 up");
    peer.Run("ip addr add 10.77.0.2/24 dev cap1");
    peer.Run("ip link set cap1 up");
    // Both ends ready before the first packet, so no neighbour traffic surprises a count.
    peer.Run("ping -c 1 -W 2 10.77.0.1");
    local.Enter();
  }

  TNetns local;
  TNetns peer;
};

}  // namespace corvina::test
