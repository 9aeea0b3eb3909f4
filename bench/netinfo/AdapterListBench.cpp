// The adapter list and the watch's look-up on a host with many interfaces (a
// container host): prints the time of one call with 200 interfaces.

#include <chrono>
#include <cstdio>
#include <string>

#include "netinfo/LanApi.h"
#include "support/NetNs.h"

using namespace corvina;
using namespace corvina::test;

namespace {

template <typename F>
double MillisecondsPerCall(int calls, F call) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < calls; ++i) call();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
             .count() /
         calls;
}

}  // namespace

int main() {
  const std::string why = NetnsUnavailableReason();
  if (!why.empty()) {
    std::printf("skipped: %s\n", why.c_str());
    return 0;
  }
  TNetns ns("adapters-bench");
  // 100 veth pairs: one end of each with an address, as a container host has them.
  std::string script;
  for (int i = 0; i < 100; ++i) {
    const std::string n = std::to_string(i);
    script += "link add v" + n + " type veth peer name w" + n + "\n";
    script += "addr add 10.90." + n + ".1/24 dev v" + n + "\n";
    script += "link set v" + n + " up\nlink set w" + n + " up\n";
  }
  const std::string file = "/tmp/corvina-adapters-" + std::to_string(getpid());
  std::FILE* out = std::fopen(file.c_str(), "w");
  std::fputs(script.c_str(), out);
  std::fclose(out);
  ns.Run("ip -batch " + file);
  std::remove(file.c_str());
  ns.Enter();

  const auto list = EnumAdapterAddresses();
  std::printf("interfaces listed: %zu entries\n", list.size());
  const std::string last = list.back().MacAddress;
  const int calls = 200;
  std::printf("EnumAdapterAddresses: %.3f ms per call\n",
              MillisecondsPerCall(calls, [] { EnumAdapterAddresses(); }));
  std::string address;
  std::printf("FindAdapterAddress (last interface): %.3f ms per call\n",
              MillisecondsPerCall(calls, [&] { FindAdapterAddress(last, address); }));
  return 0;
}
