// corvina-capture: the one part of the meter that holds a capability,
// cap_net_raw, from its file. The program starts it with one end of a socket
// pair as descriptor 3 and asks for the live capture of one local address;
// the helper opens it, gives up every capability at once and streams the
// packets until the program closes its end (it quit or died).
//
// No Qt and no code named by the environment: whatever holds the capability
// runs only what was installed.

#include <arpa/inet.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "platform/Privileges.h"
#include "platform/linux/CaptureChannel.h"
#include "platform/linux/PcapCapture.h"

using namespace corvina;
using namespace std::chrono_literals;

namespace {

constexpr int kChannel = channel::kHelperFd;
// One write to the program carries at most about this much.
constexpr std::size_t kBatchBytes = 256 * 1024;
// How often the kernel's drop count is read, also while nothing arrives.
constexpr auto kStatsInterval = 200ms;

int Refuse(const std::string& why) {
  std::fprintf(stderr, "%s: %s\n", channel::kHelperName, why.c_str());
  return 2;
}

// The variable name of an environment entry through which the loader or the
// C library would load code or read files of the caller's choosing; empty
// for any other.
std::string_view CodeLoadingName(std::string_view entry) {
  static constexpr std::string_view kNames[] = {
      "GCONV_PATH", "GETCONF_DIR",  "GLIBC_TUNABLES", "HOSTALIASES", "LOCALDOMAIN",
      "LOCPATH",    "MALLOC_TRACE", "NLSPATH",        "RES_OPTIONS", "RESOLV_HOST_CONF"};
  const std::string_view name = entry.substr(0, entry.find('='));
  if (name.starts_with("LD_")) return name;
  for (std::string_view n : kNames)
    if (name == n) return name;
  return {};
}

// The channel is a stream socket pair that our parent made: nobody else can
// reach it.
bool ChannelFromParent(int fd) {
  int type = 0;
  socklen_t length = sizeof type;
  if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM) return false;
  sockaddr_un address{};
  length = sizeof address;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      address.sun_family != AF_UNIX)
    return false;
  ucred peer{};
  length = sizeof peer;
  return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.pid == getppid() &&
         peer.uid == getuid();
}

// The one request: the local address to capture on, as dotted IPv4 text.
bool ReadRequest(std::string& localAddress) {
  channel::TReader reader;
  channel::TRecord record;
  while (!reader.Next(record)) {
    pollfd in{kChannel, POLLIN, 0};
    if (poll(&in, 1, -1) < 0 && errno != EINTR) return false;
    const ssize_t n = reader.ReadFrom(kChannel);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return false;
  }
  in_addr parsed{};
  return channel::ParseOpen(record, localAddress) &&
         inet_pton(AF_INET, localAddress.c_str(), &parsed) == 1;
}

// Streams the packets in batches until the program closes its end.
int Serve(TPcapCapture& capture) {
  channel::TWriter writer;
  const TPcapCapture::TSink add = [&writer](const std::uint8_t* packet, int length,
                                            const timeval& stamp) {
    writer.Packet(packet, length, stamp);
    return writer.Size() < kBatchBytes;
  };
  std::uint64_t dropped = 0;
  auto statsRead = std::chrono::steady_clock::now();
  for (;;) {
    pollfd fds[2] = {{kChannel, POLLIN, 0}, {capture.SelectableFd(), POLLIN, 0}};
    if (poll(fds, 2, int(kStatsInterval / 1ms)) < 0 && errno != EINTR) return 1;
    // The program asks nothing more: whatever comes, its end closing
    // included, ends the capture.
    if (fds[0].revents != 0) return 0;
    int given = 0;
    if (capture.Dispatch(add, std::numeric_limits<int>::max(), given) < 0) {
      writer.Error(EIO, capture.ErrorText());
      // A vanished interface fails at once on every read; don't spin on it.
      poll(fds, 1, 100);
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - statsRead >= kStatsInterval) {
      statsRead = now;
      std::uint64_t count = 0;
      if (capture.KernelDropped(count) && count != dropped) writer.Dropped(dropped = count);
    }
    if (writer.Size() > 0 && !writer.Send(kChannel)) return 0;
  }
}

}  // namespace

int main() {
  for (char** entry = environ; *entry; ++entry)
    if (const std::string_view name = CodeLoadingName(*entry); !name.empty())
      return Refuse("отказ: задана переменная окружения " + std::string(name));
  clearenv();
  if (HoldsPrivilegesBeyond(std::uint64_t(1) << CAP_NET_RAW))
    return Refuse(
        "отказ: у файла права сверх cap_net_raw (нужна только она: setcap cap_net_raw+ep)");
  // The packet socket stays in this process: no other process of the user
  // may trace it, read its memory or take its descriptors.
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  if (!ChannelFromParent(kChannel))
    return Refuse("отказ: запускается только программой corvina, с каналом от нее");
  close_range(kChannel + 1, ~0U, 0);

  std::string address;
  if (!ReadRequest(address)) return Refuse("отказ: неверный запрос");
  std::string text;
  TPcapCapture capture;
  int code = TPcapCapture::Startup(text);
  if (code == 0) {
    code = capture.OpenLive(address);
    text = capture.ErrorText();
  }
  // Only opening the socket needs the capability.
  if (!DropPrivileges()) return Refuse("не удалось отказаться от прав");
  channel::TWriter writer;
  if (code != 0)
    writer.Error(code, text);
  else
    writer.Opened();
  if (!writer.Send(kChannel) || code != 0) return 0;
  return Serve(capture);
}
