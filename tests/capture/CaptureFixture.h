#pragma once
// What the statistics tests share: a fake adapter table, a memory packet feed,
// a recorder of events and a main-thread pump.

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "capture/MemoryPacketSource.h"
#include "capture/SnifferStat.h"
#include "framework/Thread.h"
#include "platform/AdapterQuery.h"

namespace corvina::test {

constexpr const char* kMac = "02-00-00-00-00-0A";

// Runs queued Synchronize calls until done() holds or the time is up.
template <typename F>
bool PumpUntil(F done, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    if (!CheckSynchronize()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

inline void PumpFor(std::chrono::milliseconds time) {
  PumpUntil([] { return false; }, time);
}

// An adapter table the test changes while the watch runs.
class TFakeAdapters {
 public:
  TFakeAdapters() {
    SetAdapterQuery([this] {
      std::lock_guard lock(mutex_);
      ++queries_;
      return records_;
    });
  }
  ~TFakeAdapters() { SetAdapterQuery({}); }
  // An empty address removes the adapter.
  void Set(const std::string& address) {
    Set(address.empty() ? std::vector<std::string>{} : std::vector<std::string>{address});
  }
  // The adapter with these addresses in the system's order; none removes it.
  void Set(const std::vector<std::string>& addresses) {
    std::lock_guard lock(mutex_);
    records_.clear();
    if (addresses.empty()) return;
    TAdapterRecord r;
    r.Name = "fake0";
    for (const std::string& address : addresses) r.Addresses.push_back({address, "255.255.255.0"});
    const std::uint8_t mac[6] = {2, 0, 0, 0, 0, 0x0A};
    std::copy(mac, mac + 6, r.HardwareAddress);
    r.HardwareAddressLength = 6;
    records_.push_back(r);
  }
  // How often the table was read: once per watch pass and once per capture start.
  int Queries() {
    std::lock_guard lock(mutex_);
    return queries_;
  }

 private:
  std::mutex mutex_;
  std::vector<TAdapterRecord> records_;
  int queries_ = 0;
};

// Event names in order, with the sample each statistics event carried.
struct TEventLog {
  std::vector<std::string> names;
  std::vector<TSnifferHostData> samples;
  std::vector<TSnifferStatCounters> counters;
  std::vector<std::string> errors;

  void Attach(TSnifferStat& stat) {
    auto record = [this](const char* name) {
      return [this, name](TSnifferStat*, const TSnifferHostData& h, const TSnifferStatCounters& c) {
        names.push_back(name);
        samples.push_back(h);
        counters.push_back(c);
      };
    };
    stat.OnTraffic = record("Traffic");
    stat.OnCaptureStart = record("Start");
    stat.OnCaptureStop = record("Stop");
    stat.OnStandby = [this](TSnifferProtocolObject*) {
      names.push_back("Standby");
      samples.emplace_back();
      counters.emplace_back();
    };
    stat.OnError = [this](TSnifferProtocolObject*, int, int code, const std::string& text) {
      names.push_back("Error");
      samples.emplace_back();
      counters.emplace_back();
      errors.push_back(std::to_string(code) + " " + text);
    };
  }
  std::size_t Count(const std::string& name) const {
    std::size_t n = 0;
    for (const auto& e : names) n += e == name;
    return n;
  }
  const TSnifferHostData& Last() const { return samples.back(); }
};

inline std::shared_ptr<TMemoryFeed> UseMemoryFeed(TSnifferProtocolObject& owner) {
  auto feed = std::make_shared<TMemoryFeed>();
  owner.SetPacketSourceFactory([feed] { return std::make_unique<TMemoryPacketSource>(feed); });
  owner.SetAdapterMac(kMac);
  return feed;
}

}  // namespace corvina::test
