#pragma once
// A packet source fed from memory, with failures to order for each opening
// step. The test keeps a TMemoryFeed; every source made from it shares it.

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/DateTime.h"
#include "platform/PacketSource.h"

namespace corvina::test {

struct TMemoryFeed {
  std::mutex mutex;
  std::condition_variable changed;
  struct TPacket {
    std::vector<std::uint8_t> bytes;
    TDateTime time;
  };
  std::deque<TPacket> packets;
  // Error codes for Startup, Open, Bind, Activate; 0 lets the step pass.
  int failStep[4] = {0, 0, 0, 0};
  std::string errorText = "Operation not permitted.\r\n";
  std::string boundAddress;
  int sourcesMade = 0;
  int closes = 0;
  int receivesBlocked = 0;  // Receive calls waiting now
  std::uint64_t dropped = 0;

  // Received now, by the program's clock.
  void Push(std::vector<std::uint8_t> packet) { PushAt(std::move(packet), Now()); }
  void PushAt(std::vector<std::uint8_t> packet, TDateTime time) {
    PushAll({{std::move(packet), time}});
  }
  // Ready together, so one receive takes them all.
  void PushAll(std::vector<TPacket> batch) {
    {
      std::lock_guard lock(mutex);
      for (auto& p : batch) packets.push_back(std::move(p));
    }
    changed.notify_all();
  }
  // Waits until the queue is drained and a receive waits for more.
  bool WaitIdle(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, timeout,
                            [this] { return packets.empty() && receivesBlocked > 0; });
  }
};

class TMemoryPacketSource : public IPacketSource {
 public:
  explicit TMemoryPacketSource(std::shared_ptr<TMemoryFeed> feed) : feed_(std::move(feed)) {
    std::lock_guard lock(feed_->mutex);
    ++feed_->sourcesMade;
  }

  int Startup() override { return Step(0); }
  int Open() override { return Step(1); }
  int Bind(const std::string& localAddress) override {
    {
      std::lock_guard lock(feed_->mutex);
      feed_->boundAddress = localAddress;
    }
    return Step(2);
  }
  int Activate() override { return Step(3); }
  std::string ErrorText() const override {
    std::lock_guard lock(feed_->mutex);
    return feed_->errorText;
  }

  int Receive(const TPacketSink& sink, int maxPackets) override {
    std::unique_lock lock(feed_->mutex);
    ++feed_->receivesBlocked;
    feed_->changed.notify_all();
    feed_->changed.wait(lock, [this] { return closed_ || !feed_->packets.empty(); });
    --feed_->receivesBlocked;
    int given = 0;
    while (!closed_ && given < maxPackets && !feed_->packets.empty()) {
      const TMemoryFeed::TPacket packet = std::move(feed_->packets.front());
      feed_->packets.pop_front();
      ++given;
      if (!sink(packet.bytes.data(), int(packet.bytes.size()), packet.time)) break;
    }
    return given;
  }

  void Close() override {
    {
      std::lock_guard lock(feed_->mutex);
      if (!closed_) ++feed_->closes;
      closed_ = true;
    }
    feed_->changed.notify_all();
  }

  int Handle() const override { return 7; }
  std::uint64_t KernelDropped() const override {
    std::lock_guard lock(feed_->mutex);
    return feed_->dropped;
  }

 private:
  int Step(int index) {
    std::lock_guard lock(feed_->mutex);
    return feed_->failStep[index];
  }

  std::shared_ptr<TMemoryFeed> feed_;
  bool closed_ = false;  // guarded by the feed's mutex
};

// An IPv4 packet of n bytes (at least 20) with the given protocol and addresses.
inline std::vector<std::uint8_t> MakePacket(int n, std::uint8_t protocol,
                                            const std::uint8_t (&src)[4],
                                            const std::uint8_t (&dst)[4]) {
  std::vector<std::uint8_t> p(std::size_t(n), 0);
  p[0] = 0x45;
  p[2] = std::uint8_t(n >> 8);
  p[3] = std::uint8_t(n);
  p[8] = 64;
  p[9] = protocol;
  std::memcpy(&p[12], src, 4);
  std::memcpy(&p[16], dst, 4);
  return p;
}

}  // namespace corvina::test
