// Stands in for the capture helper: speaks its channel without capturing.
// The address asked for picks what it does.

#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/linux/CaptureChannel.h"

using namespace corvina::channel;

namespace {

constexpr int kFd = kHelperFd;

// Reads until the program closes its end.
void WaitForClose() {
  char byte;
  while (read(kFd, &byte, 1) > 0) {
  }
}

}  // namespace

int main() {
  TReader reader;
  TRecord record;
  std::string address;
  while (!reader.Next(record))
    if (reader.ReadFrom(kFd) == 0) return 1;
  if (!ParseOpen(record, address)) return 1;

  TWriter writer;
  if (address == "10.0.0.2") {
    writer.Error(ENETDOWN, "link down");
    writer.Send(kFd);
    return 0;
  }
  if (address == "10.0.0.3") return 0;  // like a helper that refused to run
  writer.Opened();
  if (address == "10.0.0.1") {
    // Packet i: 20 + i % 1500 bytes, each the low byte of i, stamped 1.7e9 + i
    // seconds and 5 ms; sent in uneven batches.
    for (int i = 0; i < 5000; ++i) {
      const std::vector<std::uint8_t> packet(std::size_t(20 + i % 1500), std::uint8_t(i));
      writer.Packet(packet.data(), int(packet.size()), timeval{1700000000 + i, 5000});
      if (i % 7 == 0 && !writer.Send(kFd)) return 1;
    }
    writer.Dropped(7);
  }
  if (!writer.Send(kFd)) return 1;
  WaitForClose();
  return 0;
}
