// The live packet source. The program holds no capability, so the capture
// helper beside the executable opens the capture and streams the packets
// over a socket pair; this end reads them in batches and hands them out.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>

#include "platform/PacketSource.h"
#include "platform/System.h"
#include "platform/linux/CaptureChannel.h"
#include "platform/linux/WakeUp.h"

namespace corvina {
namespace {

// A blocked receive wakes at least this often, so a lost wake-up costs little.
constexpr int kPollMilliseconds = 250;

class THelperPacketSource : public IPacketSource {
 public:
  ~THelperPacketSource() override {
    if (channel_ >= 0) close(channel_);
    // Closing the channel ends the helper; the kill spares waiting for it.
    if (helper_ > 0) {
      kill(helper_, SIGKILL);
      waitpid(helper_, nullptr, 0);
    }
  }

  int Startup() override { return wake_.Error() ? Fail(wake_.Error(), "") : 0; }

  // A helper that is missing or cannot run is a capture without rights.
  int Open() override { return StartHelper() ? Fail(EPERM, "") : 0; }

  int Bind(const std::string& localAddress) override {
    address_ = localAddress;
    return 0;
  }

  int Activate() override {
    channel::TWriter request;
    request.Open(address_);
    if (!request.Send(channel_)) return Fail(EPERM, "");
    for (;;) {
      channel::TRecord record;
      if (reader_.Next(record)) {
        int code = 0;
        std::string text;
        if (channel::ParseError(record, code, text)) return Fail(code, text);
        reader_.Pop();
        if (record.Kind != channel::kOpened) return Fail(EPROTO, "");
        handle_ = channel_;
        return 0;
      }
      if (closed_) return Fail(ECANCELED, "");
      if (!wake_.Wait(channel_, kPollMilliseconds)) continue;
      const ssize_t n = reader_.ReadFrom(channel_);
      // The helper ended without an answer: it refused to run, or could not.
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return Fail(EPERM, "");
    }
  }

  std::string ErrorText() const override { return errorText_; }

  int Receive(const TPacketSink& sink, int maxPackets) override {
    if (closed_) return 0;
    int given = Take(sink, maxPackets);
    if (given == 0 && wake_.Wait(channel_, kPollMilliseconds)) given = Take(sink, maxPackets);
    return closed_ ? 0 : given;
  }

  void Close() override {
    closed_ = true;
    wake_.Signal();
  }

  int Handle() const override { return handle_; }
  std::uint64_t KernelDropped() const override { return dropped_; }

 private:
  int Fail(int code, const std::string& text) {
    errorText_ = text.empty() ? SystemErrorText(code) : text;
    return code;
  }

  // Starts the helper with the other end of a new channel as its descriptor
  // 3 and an empty environment. 0 or the errno of the step that failed.
  int StartHelper() {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return errno;
    channel_ = ends[0];
    // Copied onto descriptor 3 in the helper, which drops close-on-exec;
    // a copy onto itself would keep it.
    int theirs = ends[1];
    if (theirs == channel::kHelperFd) {
      theirs = fcntl(ends[1], F_DUPFD_CLOEXEC, channel::kHelperFd + 1);
      close(ends[1]);
      if (theirs < 0) return errno;
    }
    const std::string path =
        (std::filesystem::path(ExecutablePath()).parent_path() / channel::kHelperName).string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, theirs, channel::kHelperFd);
    // Signals this thread blocks are no business of the helper's.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    char* argv[] = {const_cast<char*>(channel::kHelperName), nullptr};
    char* environment[] = {nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, environment);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(theirs);
    if (rc == 0) helper_ = pid;
    return rc;
  }

  // Hands over the records already read and those the channel holds now,
  // until the sink is full or maxPackets were given. Answers the packets
  // given, or -1 when none was and the helper reported a read error or is gone.
  int Take(const TPacketSink& sink, int maxPackets) {
    int given = 0;
    for (;;) {
      channel::TRecord record;
      while (given < maxPackets && reader_.Next(record)) {
        const std::uint8_t* packet = nullptr;
        int length = 0;
        timeval stamp{};
        int code = 0;
        std::string text;
        std::uint64_t dropped = 0;
        if (channel::ParsePacket(record, packet, length, stamp)) {
          ++given;
          const bool room =
              sink(packet, length, UnixToLocalDateTime(stamp.tv_sec, int(stamp.tv_usec / 1000)));
          reader_.Pop();
          if (!room) return given;
        } else if (channel::ParseError(record, code, text)) {
          if (given > 0) return given;  // the next call tells of it
          reader_.Pop();
          Fail(code, text);
          return -1;
        } else {
          if (channel::ParseDropped(record, dropped)) dropped_ = dropped;
          reader_.Pop();
        }
      }
      if (given >= maxPackets) return given;
      const ssize_t n = reader_.ReadFrom(channel_);
      if (n > 0) continue;
      if (n < 0 || given > 0) return given;
      // The helper has gone: every read fails at once; don't spin on it.
      wake_.Wait(-1, 100);
      return -1;
    }
  }

  TWakeUp wake_;
  std::atomic<bool> closed_{false};
  int channel_ = -1;
  pid_t helper_ = 0;
  std::string address_;
  channel::TReader reader_;
  std::string errorText_;
  std::atomic<int> handle_{-1};
  std::atomic<std::uint64_t> dropped_{0};
};

}  // namespace

std::unique_ptr<IPacketSource> CreateLivePacketSource() {
  return std::make_unique<THelperPacketSource>();
}

}  // namespace corvina
